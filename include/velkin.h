/* Velkin: USB 2.0 electrical compliance analysis of oscilloscope captures.
 *
 * Each call analyses one capture, writes its report files beside the data file
 * and returns a pointer to the library's one result text: empty when the
 * analysis ran to the end, otherwise the reason it stopped. The text stays
 * valid until the next call; copy it at once and never free it. Calls must not
 * overlap.
 *
 * The environment variable VELKIN_OUTPUT_DIR, when set and not empty, names the
 * folder (an existing one) that every report, plot, result record and summary
 * goes into instead, under the same names. VELKIN_BATCH_DIR, when set and not
 * empty, names the folder (an existing one) a new batch summary is started in
 * instead of that one. */
#ifndef VELKIN_H
#define VELKIN_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VELKIN_API __attribute__((visibility("default")))
#else
#define VELKIN_API
#endif

/* What is written besides the HTML report and the plots. */
enum {
    VELKIN_MODE_REPORT_ONLY = 0,
    VELKIN_MODE_FILE_SUMMARY = 1,
    VELKIN_MODE_NEW_BATCH_SUMMARY = 2,
    VELKIN_MODE_APPEND_BATCH_SUMMARY = 3
};

/* Signal quality. testType is one of "fs", "hsfe", "hsne", "ls", "hshub", "fshub",
 * "lshub", "ehsrep", "elsrep", "efsrep" (any case). secondFile is "" unless D+ and
 * D- were captured into two files. hubs counts the hubs or repeaters between the
 * device and the probe. */
VELKIN_API char* UsbSigCheck(const char* dataFile, const char* testType, const char* secondFile,
                             unsigned mode, unsigned hubs);

/* As UsbSigCheck, reporting for an eUSB2 repeater. */
VELKIN_API char* eUsbSigCheck(const char* dataFile, const char* testType, const char* secondFile,
                              unsigned mode, unsigned hubs);

/* Inrush current at attach, judged at the given supply voltage. */
VELKIN_API char* UsbInrushCheck(const char* dataFile, double voltage, unsigned mode);

#ifdef __cplusplus
}
#endif

#endif
