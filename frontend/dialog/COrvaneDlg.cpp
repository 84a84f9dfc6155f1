#include "COrvaneDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QThread>
#include <QVBoxLayout>

#include "CDialogFeedback.h"
#include "COrvaneSettings.h"
#include "OrvanePaths.h"
#include "velkin.h"

namespace {

// A batch keeps its files in one list; a larger choice is cut, and the user told.
constexpr int kMaxSelectedFiles = 200;
constexpr int kMaxHubs = 5;
// Qt's filter syntax for the waveform files every tab reads.
constexpr const char* kSignalFilter = "Signal Files (*.tsv *.csv *.bin *.wfm *.trc)";

// The words the file labels of each tab start with.
constexpr std::array<const char*, 4> kFileWords = {"Signal Quality", "Hub Signal Quality",
                                                   "Inrush Current", "eUSB Repeater"};

std::string Utf8(const QString& text) { return text.toStdString(); }

// The names in the file-name box: each one in double quotes when several were
// chosen, or the one name as typed.
QStringList NamesIn(const QString& box) {
    QStringList names;
    if (!box.contains('"')) {
        if (!box.trimmed().isEmpty()) names << box.trimmed();
        return names;
    }
    const QStringList parts = box.split('"');
    for (int i = 1; i < parts.size(); i += 2) {
        if (!parts[i].isEmpty()) names << parts[i];
    }
    return names;
}

// Low- and full-speed tests may take D+ and D- from two files.
bool IsLowOrFullSpeed(int index) { return index == 0 || index == 1; }

template <std::size_t N>
int CheckedIndex(const std::array<QRadioButton*, N>& buttons, int fallback) {
    for (std::size_t i = 0; i < N; ++i) {
        if (buttons[i]->isChecked()) return static_cast<int>(i);
    }
    return fallback;
}

template <std::size_t N>
void Check(const std::array<QRadioButton*, N>& buttons, int index) {
    if (index >= 0 && index < static_cast<int>(N)) buttons[index]->setChecked(true);
}

}  // namespace

COrvaneDlg::COrvaneDlg() {
    BuildControls();
    m_pFeedback = std::make_unique<CDialogFeedback>(*this, *m_pProgress);
    m_pRunner = std::make_unique<COrvaneRunner>(*m_pFeedback);
    SetUpLoadedTests(COrvaneSettings().LoadSettings(*m_pRunner));
    UpdateControls();
}

COrvaneDlg::~COrvaneDlg() = default;

void COrvaneDlg::BuildControls() {
    setWindowTitle(QString("Orvane ") + ORVANE_VERSION);
    auto* page = new QVBoxLayout(this);

    m_pTabs = new QTabBar(this);
    for (const char* caption : {"Device/Host SQ", "Hub DS SQ", "Inrush Current", "eUSB Repeater"})
        m_pTabs->addTab(caption);
    m_pTabs->setExpanding(false);
    page->addWidget(m_pTabs);

    auto* files = new QGridLayout;
    m_pPathLabel = new QLabel(this);
    m_pPath = new QLineEdit(this);
    m_pNameLabel = new QLabel(this);
    m_pName = new QLineEdit(this);
    m_pBrowse = new QPushButton("Browse", this);
    m_pSecondLabel = new QLabel(this);
    m_pSecond = new QLineEdit(this);
    m_pBrowseSecond = new QPushButton("Browse", this);
    // Named so that a test, or an accessibility tool, finds each box.
    m_pPath->setObjectName("path");
    m_pName->setObjectName("name");
    m_pSecond->setObjectName("second");
    files->addWidget(m_pPathLabel, 0, 0, 1, 2);
    files->addWidget(m_pPath, 1, 0, 1, 2);
    files->addWidget(m_pNameLabel, 2, 0, 1, 2);
    files->addWidget(m_pName, 3, 0);
    files->addWidget(m_pBrowse, 3, 1);
    files->addWidget(m_pSecondLabel, 4, 0, 1, 2);
    files->addWidget(m_pSecond, 5, 0);
    files->addWidget(m_pBrowseSecond, 5, 1);
    page->addLayout(files);

    m_pTestType = new QGroupBox("Test Type", this);
    // The inrush tab has no test type: its space stays, so the controls beside it
    // do not jump when the tab changes.
    QSizePolicy keepSpace = m_pTestType->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    keepSpace.setVerticalPolicy(QSizePolicy::Maximum);
    m_pTestType->setSizePolicy(keepSpace);
    auto* types = new QHBoxLayout(m_pTestType);
    auto* tests = new QVBoxLayout;
    auto* testGroup = new QButtonGroup(this);
    const auto addRadio = [&](QVBoxLayout* column, QButtonGroup* group, const char* caption) {
        auto* button = new QRadioButton(caption, m_pTestType);
        group->addButton(button);
        column->addWidget(button);
        return button;
    };
    const char* const device[] = {"LS", "FS", "HSFE", "HSNE"};
    const char* const hub[] = {"LS Hub", "FS Hub", "HS Hub"};
    const char* const repeater[] = {"LS Repeater", "FS Repeater", "HS Repeater"};
    for (std::size_t i = 0; i < m_DeviceTests.size(); ++i)
        m_DeviceTests[i] = addRadio(tests, testGroup, device[i]);
    // Each tab keeps its own choice: the hub and repeater columns are groups of their own.
    auto* hubGroup = new QButtonGroup(this);
    for (std::size_t i = 0; i < m_HubTests.size(); ++i)
        m_HubTests[i] = addRadio(tests, hubGroup, hub[i]);
    auto* repeaterGroup = new QButtonGroup(this);
    for (std::size_t i = 0; i < m_RepeaterTests.size(); ++i)
        m_RepeaterTests[i] = addRadio(tests, repeaterGroup, repeater[i]);
    tests->addStretch();
    auto* fileModes = new QVBoxLayout;
    auto* modeGroup = new QButtonGroup(this);
    m_pSingleFile = addRadio(fileModes, modeGroup, "Single Data File");
    m_pSeparateFiles = addRadio(fileModes, modeGroup, "Separate DPlus and DMinus Data Files");
    fileModes->addStretch();
    types->addLayout(tests);
    types->addSpacing(24);
    types->addLayout(fileModes);
    types->addStretch();

    auto* options = new QGridLayout;
    m_pHubLabel = new QLabel("Number of Hubs", this);
    m_pHubs = new QSpinBox(this);
    m_pHubs->setRange(0, kMaxHubs);
    m_pVoltageLabel = new QLabel("Supply Voltage", this);
    m_pVoltage = new QLineEdit(this);
    m_pVoltage->setMaximumWidth(120);
    m_pSummary = new QCheckBox("Summary File", this);
    m_pHubs->setObjectName("hubs");
    m_pVoltage->setObjectName("voltage");
    // The hub count and the supply voltage share one row: no tab shows both.
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_pHubLabel, m_pHubs, m_pVoltageLabel, m_pVoltage}) {
        QSizePolicy policy = control->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        control->setSizePolicy(policy);
    }
    options->addWidget(m_pHubLabel, 0, 0);
    options->addWidget(m_pHubs, 0, 1);
    options->addWidget(m_pVoltageLabel, 0, 0);
    options->addWidget(m_pVoltage, 0, 1);
    options->addWidget(m_pSummary, 1, 0, 1, 2);
    options->setRowStretch(2, 1);

    auto* middle = new QHBoxLayout;
    middle->addWidget(m_pTestType, 1);
    middle->addLayout(options);
    page->addLayout(middle);

    page->addStretch();
    m_pProgress = new QLabel(this);
    m_pProgress->setObjectName("progress");
    m_pProgress->hide();
    page->addWidget(m_pProgress);

    auto* buttons = new QHBoxLayout;
    m_pTest = new QPushButton("Test", this);
    m_pExit = new QPushButton("Exit", this);
    m_pTest->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(m_pTest);
    buttons->addWidget(m_pExit);
    page->addLayout(buttons);

    const auto update = [this] { UpdateControls(); };
    connect(m_pTabs, &QTabBar::currentChanged, this, update);
    for (QButtonGroup* group : {testGroup, hubGroup, repeaterGroup, modeGroup})
        connect(group, &QButtonGroup::buttonToggled, this, update);
    connect(m_pBrowse, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(m_pBrowseSecond, &QPushButton::clicked, this, [this] { OnBrowseSecond(); });
    connect(m_pTest, &QPushButton::clicked, this, [this] { OnTest(); });
    connect(m_pExit, &QPushButton::clicked, this, [this] { OnExit(); });
}

void COrvaneDlg::SetUpLoadedTests(bool loaded) {
    COrvaneRunner& fields = *m_pRunner;
    m_pPath->setText(QString::fromStdString(fields.m_strSignalFolder));
    m_pVoltage->setText(QString::fromStdString(fields.m_strVoltageText));
    m_pHubs->setValue(static_cast<int>(fields.m_nHubCount));
    // Only a complete set of stored choices sets up the loaded device test.
    const COrvaneRunner defaults(*m_pFeedback);
    const COrvaneRunner& shown = loaded ? fields : defaults;
    Check(m_DeviceTests, shown.m_nDeviceTest);
    Check(m_HubTests, shown.m_nHubTest);
    Check(m_RepeaterTests, defaults.m_nRepeaterTest);
    (shown.m_bTwoFiles ? m_pSeparateFiles : m_pSingleFile)->setChecked(true);
}

bool COrvaneDlg::SeparateFilesShown() const {
    switch (m_pTabs->currentIndex()) {
        case 0:
            return IsLowOrFullSpeed(CheckedIndex(m_DeviceTests, -1));
        case 1:
            return IsLowOrFullSpeed(CheckedIndex(m_HubTests, -1));
        case 3:
            return IsLowOrFullSpeed(CheckedIndex(m_RepeaterTests, -1));
        default:
            return false;
    }
}

void COrvaneDlg::UpdateControls() {
    const int tab = m_pTabs->currentIndex();
    const bool fileModes = SeparateFilesShown();
    const bool separate = fileModes && m_pSeparateFiles->isChecked();
    const QString words = kFileWords[static_cast<std::size_t>(tab)];
    // The inrush tab's path label reads as it always has.
    m_pPathLabel->setText(tab == 2 ? QString("Inrush Curent File Path") : words + " File Path");
    m_pNameLabel->setText(words + (separate ? " Dplus File Name" : " File Name"));
    m_pSecondLabel->setText(words + " Dminus File Name");
    for (QRadioButton* button : m_DeviceTests) button->setVisible(tab == 0);
    for (QRadioButton* button : m_HubTests) button->setVisible(tab == 1);
    for (QRadioButton* button : m_RepeaterTests) button->setVisible(tab == 3);
    m_pTestType->setVisible(tab != 2);
    m_pSingleFile->setVisible(fileModes);
    m_pSeparateFiles->setVisible(fileModes);
    m_pSecondLabel->setVisible(separate);
    m_pSecond->setVisible(separate);
    m_pBrowseSecond->setVisible(separate);
    m_pHubLabel->setVisible(tab == 1);
    m_pHubs->setVisible(tab == 1);
    m_pVoltageLabel->setVisible(tab == 2);
    m_pVoltage->setVisible(tab == 2);
}

void COrvaneDlg::ReadControls() {
    COrvaneRunner& fields = *m_pRunner;
    fields.m_eCurrentTab = static_cast<ETestTab>(m_pTabs->currentIndex());
    fields.m_nDeviceTest = CheckedIndex(m_DeviceTests, fields.m_nDeviceTest);
    fields.m_nHubTest = CheckedIndex(m_HubTests, fields.m_nHubTest);
    fields.m_nRepeaterTest = CheckedIndex(m_RepeaterTests, fields.m_nRepeaterTest);
    fields.m_bTwoFiles = m_pSeparateFiles->isChecked();
    fields.m_nHubCount = static_cast<unsigned>(m_pHubs->value());
    fields.m_bSummary = m_pSummary->isChecked();
    fields.m_strVoltageText = Utf8(m_pVoltage->text());
    fields.m_strLastVoltageText = fields.m_strVoltageText;
    fields.m_strTestWord.clear();

    // The boxes are what runs: a name typed by hand counts as much as one browsed to.
    const std::string folder = Utf8(m_pPath->text().trimmed());
    const QStringList names = NamesIn(m_pName->text()).mid(0, kMaxSelectedFiles);
    fields.m_SelectedFiles.clear();
    for (const QString& name : names)
        fields.m_SelectedFiles.push_back(orvane::InFolder(folder, Utf8(name)));
    const std::string first = fields.m_SelectedFiles.size() == 1 ? fields.m_SelectedFiles[0] : "";
    if (fields.m_eCurrentTab == ETestTab::kInrush) {
        fields.m_strInrushFolder = folder;
        fields.m_strInrushFilePath = first;
        fields.m_strInrushFileName = orvane::FileNameOf(first);
    } else {
        fields.m_strSignalFolder = folder;
        fields.m_strDataFilePath = first;
        fields.m_strDataFileName = orvane::FileNameOf(first);
        const QString second = m_pSecond->text().trimmed();
        fields.m_strSecondFilePath = second.isEmpty() ? "" : orvane::InFolder(folder, Utf8(second));
        fields.m_strRepeaterFolder = fields.m_strSignalFolder;
        fields.m_strRepeaterFileName = fields.m_strDataFileName;
    }
}

void COrvaneDlg::ChooseFiles(const QStringList& chosen) {
    QStringList paths = chosen;
    paths.removeAll(QString());  // a file dialog left with Cancel
    if (paths.isEmpty()) return;
    const QStringList kept = paths.mid(0, kMaxSelectedFiles);
    const QString folder = QDir::toNativeSeparators(QFileInfo(kept.front()).absolutePath());
    QString names;
    if (kept.size() == 1) {
        names = QFileInfo(kept.front()).fileName();
    } else {
        for (const QString& path : kept) names += '"' + QFileInfo(path).fileName() + "\" ";
    }
    m_pPath->setText(folder);
    m_pName->setText(names);
    ReadControls();
    // The folder chosen is where every tab looks next.
    m_pRunner->m_strSignalFolder = Utf8(folder);
    m_pRunner->m_strInrushFolder = Utf8(folder);
    m_pRunner->m_strRepeaterFolder = Utf8(folder);
    if (paths.size() > kMaxSelectedFiles) {
        m_pFeedback->ShowMessage(
            QString("%1 files were chosen; a batch takes at most %2, so the first %2 are kept "
                    "and %3 were left out.")
                .arg(paths.size())
                .arg(kMaxSelectedFiles)
                .arg(paths.size() - kMaxSelectedFiles)
                .toStdString());
    }
}

void COrvaneDlg::ChooseSecondFile(const QString& path) {
    if (path.isEmpty()) return;
    m_pSecond->setText(QFileInfo(path).fileName());
    if (m_pPath->text().trimmed().isEmpty())
        m_pPath->setText(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
}

void COrvaneDlg::OnBrowse() {
    ReadControls();
    const bool inrush = m_pTabs->currentIndex() == 2;
    const QString start = QString::fromStdString(inrush ? m_pRunner->m_strInrushFolder
                                                        : m_pRunner->m_strSignalFolder);
    // D+ and D- in separate files pair one file with one other: no batch.
    if (SeparateFilesShown() && m_pSeparateFiles->isChecked()) {
        ChooseFiles({QFileDialog::getOpenFileName(this, "Open", start, kSignalFilter)});
    } else {
        ChooseFiles(QFileDialog::getOpenFileNames(this, "Open", start, kSignalFilter));
    }
}

void COrvaneDlg::OnBrowseSecond() {
    ChooseSecondFile(QFileDialog::getOpenFileName(
        this, "Open", QString::fromStdString(m_pRunner->m_strSignalFolder), kSignalFilter));
}

template <typename Work>
auto COrvaneDlg::OffWindowThread(Work work) {
    decltype(work()) result{};
    m_bRunning = true;
    for (QWidget* control : findChildren<QWidget*>()) {
        if (control != m_pProgress) control->setEnabled(false);
    }
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = work(); }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    for (QWidget* control : findChildren<QWidget*>()) control->setEnabled(true);
    m_bRunning = false;
    return result;
}

void COrvaneDlg::OnTest() {
    if (m_bRunning) return;
    ReadControls();
    COrvaneRunner& runner = *m_pRunner;
    const ETestTab tab = runner.m_eCurrentTab;
    const bool batch = runner.m_SelectedFiles.size() > 1;
    const unsigned mode = runner.m_bSummary ? VELKIN_MODE_FILE_SUMMARY : VELKIN_MODE_REPORT_ONLY;
    if (!batch && tab != ETestTab::kInrush && runner.m_strDataFileName.empty()) {
        m_pFeedback->ShowMessage("Please select a data file");
        return;
    }
    if (!batch && tab != ETestTab::kInrush && SeparateFilesShown() && runner.m_bTwoFiles &&
        runner.m_strSecondFilePath.empty()) {
        m_pFeedback->ShowMessage("Please select the Dminus data file");
        return;
    }
    if (batch) {
        const int combined = tab == ETestTab::kHub ? runner.m_nHubTest + 4 : runner.m_nDeviceTest;
        OffWindowThread([&] {
            switch (tab) {
                case ETestTab::kInrush:
                    return runner.RunInrushBatch();
                case ETestTab::kRepeater:
                    return runner.RunRepeaterBatch();
                default:
                    return runner.RunSignalBatch(combined);
            }
        });
    } else {
        const bool analysed = OffWindowThread([&] {
            switch (tab) {
                case ETestTab::kInrush:
                    return runner.RunInrush(false, mode);
                case ETestTab::kRepeater:
                    // The repeater tab has no count: the repeater under test alone.
                    return runner.RunRepeater(false, mode, 1);
                default:
                    return runner.RunSignal(false, mode, runner.m_nHubCount);
            }
        });
        const std::string& data =
            tab == ETestTab::kInrush ? runner.m_strInrushFilePath : runner.m_strDataFilePath;
        if (analysed) m_pFeedback->OpenReport(orvane::ReportPath(data));
    }
    UpdateControls();
}

void COrvaneDlg::OnExit() {
    if (m_bRunning) return;
    ReadControls();
    COrvaneSettings().SaveSettings(*m_pRunner);
    accept();
}

void COrvaneDlg::reject() {
    // Escape or the window's close box: the analysis under way finishes first.
    if (m_bRunning) return;
    OnExit();
}
