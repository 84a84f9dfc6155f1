#include "COrvaneSettings.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include "COrvaneRunner.h"

namespace {

// Stored texts keep at most this many characters, as they always have.
constexpr int kMaxStoredChars = 255;
// An empty stored voltage is the supply most captures are taken at.
constexpr const char* kDefaultVoltage = "5.15";
constexpr int kDeviceTests = 4;  // ls, fs, hsfe, hsne
constexpr int kHubTests = 3;     // lshub, fshub, hshub

QString Stored(QString value) {
    value.truncate(kMaxStoredChars);
    // A character outside the basic plane is two units: never keep half of one.
    if (!value.isEmpty() && value.back().isHighSurrogate()) value.chop(1);
    return value;
}

QString Stored(const std::string& text) { return Stored(QString::fromStdString(text)); }

// A stored text as read back: no longer than a stored text may be.
QString Text(const QSettings& settings, const char* name) {
    return Stored(settings.value(name).toString());
}

// Reads an index of `count` choices into `field` when one is stored; false when
// none is, or a damaged one that names no test.
bool ReadIndex(const QSettings& settings, const char* name, int count, int& field) {
    bool ok = false;
    const int value = settings.value(name).toInt(&ok);
    if (!settings.contains(name) || !ok || value < 0 || value >= count) return false;
    field = value;
    return true;
}

}  // namespace

void COrvaneSettings::SaveSettings(const COrvaneRunner& fields) const {
    QSettings settings("Brantis", "Orvane");
    settings.beginGroup("SignalQuality");
    settings.setValue("SigQualPath", Stored(fields.m_strSignalFolder));
    settings.setValue("SigQualFile", Stored(fields.m_strDataFileName));
    settings.setValue("SigQualTest", fields.m_nDeviceTest);
    settings.setValue("HubSigQualTest", fields.m_nHubTest);
    settings.setValue("Differential", fields.m_bTwoFiles ? 1 : 0);
    settings.endGroup();
    settings.beginGroup("InrushCurrent");
    settings.setValue("InrushCurPath", Stored(fields.m_strInrushFolder));
    settings.setValue("InrushCurFile", Stored(fields.m_strInrushFileName));
    settings.setValue("InrushVoltage", Stored(fields.m_strLastVoltageText));
    settings.endGroup();
    settings.beginGroup("eUSB");
    settings.setValue("eUSBPath", Stored(fields.m_strRepeaterFolder));
    settings.setValue("eUSBFile", Stored(fields.m_strRepeaterFileName));
    settings.setValue("eUSBTest", fields.m_nRepeaterTest);
    settings.endGroup();
    settings.sync();
}

bool COrvaneSettings::LoadSettings(COrvaneRunner& fields) const {
    QSettings settings("Brantis", "Orvane");
    const QStringList groups = settings.childGroups();
    bool complete = groups.contains("SignalQuality") && groups.contains("InrushCurrent");
    if (groups.contains("SignalQuality")) {
        settings.beginGroup("SignalQuality");
        fields.m_strSignalFolder = Text(settings, "SigQualPath").toStdString();
        int twoFiles = fields.m_bTwoFiles ? 1 : 0;
        // Each value is read on its own: one missing leaves the others loaded.
        const bool device = ReadIndex(settings, "SigQualTest", kDeviceTests, fields.m_nDeviceTest);
        const bool hub = ReadIndex(settings, "HubSigQualTest", kHubTests, fields.m_nHubTest);
        const bool files = ReadIndex(settings, "Differential", 2, twoFiles);
        complete = complete && device && hub && files && !fields.m_strSignalFolder.empty();
        fields.m_bTwoFiles = twoFiles != 0;
        settings.endGroup();
    }
    if (groups.contains("InrushCurrent")) {
        settings.beginGroup("InrushCurrent");
        fields.m_strInrushFolder = Text(settings, "InrushCurPath").toStdString();
        complete = complete && !fields.m_strInrushFolder.empty();
        std::string voltage = Text(settings, "InrushVoltage").toStdString();
        if (voltage.empty()) voltage = kDefaultVoltage;
        fields.m_strVoltageText = voltage;
        fields.m_strLastVoltageText = voltage;
        settings.endGroup();
    }
    return complete;
}
