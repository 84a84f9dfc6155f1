/* Judges one capture through the installed library, as a lab's own program would:
 * caller <capture> <test type>. Prints the library's answer and exits 0 when the
 * analysis ran to the end. */
#include <stdio.h>
#include <string.h>

#include <velkin.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: caller <capture> <test type>\n");
        return 2;
    }
    /* Copied at once: the next call reuses the library's result text. */
    char result[256];
    snprintf(result, sizeof result, "%s",
             UsbSigCheck(argv[1], argv[2], "", VELKIN_MODE_REPORT_ONLY, 0));
    printf("%s\n", result[0] == '\0' ? "analysed" : result);
    return result[0] == '\0' ? 0 : 1;
}
