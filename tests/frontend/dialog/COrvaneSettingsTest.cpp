#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSpinBox>

#include "DialogHarness.h"

// What "Exit" saves, the next dialog loads: folders, the device, hub and file-mode
// choices and the voltage. A first start has defaults and sets up nothing; an
// empty stored voltage loads as 5.15; a stored text keeps at most 255 characters.
TEST(Settings, SavedOnExitAreLoadedByTheNextDialog) {
    const QString longFolder = "/" + QString(299, QChar(0x00B5));  // 300 characters, "µµµ..."
    const struct {
        const char* folder;  // chosen through Browse; nullptr: leave the defaults
        const char* device;
        bool separate;
        const char* voltage;
        QString shownFolder;  // in the next dialog
        const char* shownDevice;
        bool shownSeparate;
        const char* shownVoltage;
    } cases[] = {
        {nullptr, nullptr, false, "", "", "HSNE", false, "5.15"},
        {"/lab/caps", "LS", true, "4.75", "/lab/caps", "LS", true, "4.75"},
        {"/lab/caps", "FS", false, "", "/lab/caps", "FS", false, "5.15"},
        {"long", "HSFE", false, "5", longFolder.left(255), "HSFE", false, "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder ? c.folder : "defaults") + " " +
                     (c.device ? c.device : ""));
        CDialogHarness harness;
        harness.Open();
        // A first start stores nothing until the dialog closes.
        EXPECT_TRUE(QSettings("Brantis", "Orvane").childGroups().isEmpty());
        EXPECT_TRUE(harness.Radio("HSNE")->isChecked());
        if (c.folder) {
            const QString folder = QString(c.folder) == "long" ? longFolder : c.folder;
            harness.Dialog().ChooseFiles({folder + "/cap.csv"});
            harness.Radio(c.device)->click();
            harness.Radio(c.separate ? "Separate DPlus and DMinus Data Files" : "Single Data File")
                ->click();
        }
        harness.Find<QLineEdit>("voltage")->setText(c.voltage);
        harness.Click("Exit");
        EXPECT_FALSE(harness.Dialog().isVisible());
        const QSettings stored("Brantis", "Orvane");
        EXPECT_EQ(stored.childGroups(), (QStringList{"InrushCurrent", "SignalQuality", "eUSB"}));
        EXPECT_EQ(stored.value("eUSB/eUSBTest").toInt(), 2);

        harness.Open();
        EXPECT_EQ(harness.Find<QLineEdit>("path")->text(), c.shownFolder);
        EXPECT_TRUE(harness.Radio(c.shownDevice)->isChecked());
        EXPECT_EQ(harness.Radio("Separate DPlus and DMinus Data Files")->isChecked(),
                  c.shownSeparate);
        EXPECT_EQ(harness.Find<QLineEdit>("voltage")->text(), c.shownVoltage);
        // The repeater tab always starts at its high-speed test.
        EXPECT_TRUE(harness.Radio("HS Repeater")->isChecked());
    }
}

// A store that is incomplete or damaged shows what it holds but sets up no device
// test of its own: the dialog keeps its defaults where a value is missing or names
// no test.
TEST(Settings, AnIncompleteStoreLeavesTheDeviceTestAtItsDefault) {
    const struct {
        const char* remove;  // key taken out of a complete store, or nullptr
        const char* key;
        int value;  // written to `key` after the removal
        const char* shownDevice;
    } cases[] = {
        {nullptr, "SignalQuality/SigQualTest", 0, "LS"},
        {"InrushCurrent", "SignalQuality/SigQualTest", 0, "HSNE"},
        {"InrushCurrent/InrushCurPath", "SignalQuality/SigQualTest", 1, "HSNE"},
        {"SignalQuality/Differential", "SignalQuality/SigQualTest", 1, "HSNE"},
        {nullptr, "SignalQuality/SigQualTest", 9, "HSNE"},
        {nullptr, "SignalQuality/HubSigQualTest", -1, "HSNE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.remove ? c.remove : "") + " " + c.key + "=" +
                     std::to_string(c.value));
        CDialogHarness harness;
        harness.Open();
        harness.Dialog().ChooseFiles({"/lab/caps/cap.csv"});
        harness.Radio("LS")->click();
        harness.Click("Exit");
        {
            QSettings stored("Brantis", "Orvane");
            if (c.remove) stored.remove(c.remove);
            stored.setValue(c.key, c.value);
        }
        harness.Open();
        EXPECT_EQ(harness.Find<QLineEdit>("path")->text(), "/lab/caps");
        EXPECT_TRUE(harness.Radio(c.shownDevice)->isChecked());
    }
}
