#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSpinBox>

#include "DialogHarness.h"

// What "Exit" saves, the next dialog loads: folders, the device, hub and file-mode
// choices and the voltage. A first start has defaults and sets up nothing; an
// empty stored voltage loads as 5.15; a stored text keeps at most 255 characters.
// A store left incomplete or damaged after "Exit" shows what it holds but sets up
// no device test of its own: the dialog keeps its default there.
TEST(Settings, SavedOnExitAreLoadedByTheNextDialog) {
    const QString longFolder = "/" + QString(299, QChar(0x00B5));  // 300 characters, "µµµ..."
    const struct {
        const char* folder;  // chosen through Browse; nullptr: leave the defaults
        const char* device;
        bool separate;
        const char* voltage;
        const char* damage;   // a key or group taken out of the store, or "key=value" set
        QString shownFolder;  // in the next dialog
        const char* shownDevice;
        bool shownSeparate;
        const char* shownVoltage;  // nullptr: not stored
    } cases[] = {
        {nullptr, nullptr, false, "", nullptr, "", "HSNE", false, "5.15"},
        {"/lab/caps", "LS", true, "4.75", nullptr, "/lab/caps", "LS", true, "4.75"},
        {"/lab/caps", "FS", false, "", nullptr, "/lab/caps", "FS", false, "5.15"},
        {"long", "HSFE", false, "5", nullptr, longFolder.left(255), "HSFE", false, "5"},
        {"/lab/caps", "LS", false, "", "InrushCurrent", "/lab/caps", "HSNE", false, nullptr},
        {"/lab/caps", "LS", false, "", "InrushCurrent/InrushCurPath", "/lab/caps", "HSNE", false,
         "5.15"},
        {"/lab/caps", "LS", true, "", "SignalQuality/Differential", "/lab/caps", "HSNE", false,
         "5.15"},
        {"/lab/caps", "LS", false, "", "SignalQuality/SigQualTest=9", "/lab/caps", "HSNE", false,
         "5.15"},
        {"/lab/caps", "LS", false, "", "SignalQuality/HubSigQualTest=-1", "/lab/caps", "HSNE",
         false, "5.15"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder ? c.folder : "defaults") + " " +
                     (c.device ? c.device : "") + " " + (c.damage ? c.damage : ""));
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
        {
            QSettings stored("Brantis", "Orvane");
            EXPECT_EQ(stored.childGroups(),
                      (QStringList{"InrushCurrent", "SignalQuality", "eUSB"}));
            EXPECT_EQ(stored.value("eUSB/eUSBTest").toInt(), 2);
            const QStringList damage = QString(c.damage).split('=');
            if (damage.size() == 2) stored.setValue(damage[0], damage[1].toInt());
            if (c.damage && damage.size() == 1) stored.remove(damage[0]);
        }

        harness.Open();
        EXPECT_EQ(harness.Find<QLineEdit>("path")->text(), c.shownFolder);
        EXPECT_TRUE(harness.Radio(c.shownDevice)->isChecked());
        EXPECT_EQ(harness.Radio("Separate DPlus and DMinus Data Files")->isChecked(),
                  c.shownSeparate);
        if (c.shownVoltage) {
            EXPECT_EQ(harness.Find<QLineEdit>("voltage")->text(), c.shownVoltage);
        }
        // The repeater tab always starts at its high-speed test.
        EXPECT_TRUE(harness.Radio("HS Repeater")->isChecked());
    }
}
