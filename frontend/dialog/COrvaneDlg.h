// Orvane's main window: four tabs (device or host, hub downstream port, inrush
// current, eUSB repeater) over one set of file, test-type and option controls. It
// reads its controls into the run operations the command line also uses and runs
// them off the window's thread, one analysis at a time.
#pragma once

#include <QDialog>
#include <QStringList>
#include <array>
#include <memory>

#include "COrvaneRunner.h"

class CDialogFeedback;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabBar;

class COrvaneDlg : public QDialog {
public:
    COrvaneDlg();
    ~COrvaneDlg() override;

    // What "Browse" does with the files the user picked: at most 200 are kept, and
    // the user is told how many were left out.
    void ChooseFiles(const QStringList& paths);
    void ChooseSecondFile(const QString& path);

    // The fields the controls were last read into.
    const COrvaneRunner& Fields() const { return *m_pRunner; }

protected:
    void reject() override;

private:
    void BuildControls();
    void SetUpLoadedTests(bool loaded);
    void UpdateControls();
    void ReadControls();
    void OnBrowse();
    void OnBrowseSecond();
    void OnTest();
    void OnExit();
    bool SeparateFilesShown() const;
    // Runs `work` on a worker thread while the window keeps handling its events.
    template <typename Work>
    auto OffWindowThread(Work work);

    QTabBar* m_pTabs = nullptr;
    QLabel* m_pPathLabel = nullptr;
    QLineEdit* m_pPath = nullptr;
    QLabel* m_pNameLabel = nullptr;
    QLineEdit* m_pName = nullptr;
    QPushButton* m_pBrowse = nullptr;
    QLabel* m_pSecondLabel = nullptr;
    QLineEdit* m_pSecond = nullptr;
    QPushButton* m_pBrowseSecond = nullptr;
    QGroupBox* m_pTestType = nullptr;
    std::array<QRadioButton*, 4> m_DeviceTests{};
    std::array<QRadioButton*, 3> m_HubTests{};
    std::array<QRadioButton*, 3> m_RepeaterTests{};
    QRadioButton* m_pSingleFile = nullptr;
    QRadioButton* m_pSeparateFiles = nullptr;
    QLabel* m_pHubLabel = nullptr;
    QSpinBox* m_pHubs = nullptr;
    QLabel* m_pVoltageLabel = nullptr;
    QLineEdit* m_pVoltage = nullptr;
    QCheckBox* m_pSummary = nullptr;
    QLabel* m_pProgress = nullptr;
    QPushButton* m_pTest = nullptr;
    QPushButton* m_pExit = nullptr;
    bool m_bRunning = false;

    std::unique_ptr<CDialogFeedback> m_pFeedback;
    std::unique_ptr<COrvaneRunner> m_pRunner;
};
