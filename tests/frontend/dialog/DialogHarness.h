#pragma once

// A dialog as a user meets it: settings of its own in a fresh folder (never the
// user's), message boxes answered and their texts kept, and reports the dialog
// asks the desktop to open caught instead of opened.
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabBar>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

#include "CTempFolder.h"
#include "dialog/COrvaneDlg.h"

class CUrlCatcher : public QObject {
    Q_OBJECT
public:
    QStringList m_Opened;
public slots:
    void Open(const QUrl& url) { m_Opened << url.toLocalFile(); }
};

class CDialogHarness {
public:
    CDialogHarness() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_Settings.Path().string()));
        QDesktopServices::setUrlHandler("file", &m_Urls, "Open");
    }
    ~CDialogHarness() { QDesktopServices::unsetUrlHandler("file"); }

    // A new dialog, as at the program's start, loading what the last one saved.
    COrvaneDlg& Open() {
        m_Dialog = std::make_unique<COrvaneDlg>();
        m_Dialog->show();
        return *m_Dialog;
    }
    COrvaneDlg& Dialog() { return *m_Dialog; }

    template <typename Widget = QWidget>
    Widget* Find(const char* name) const {
        return m_Dialog->findChild<Widget*>(name);
    }
    QRadioButton* Radio(const QString& caption) const {
        for (QRadioButton* button : m_Dialog->findChildren<QRadioButton*>())
            if (button->text() == caption) return button;
        return nullptr;
    }
    void Click(const QString& caption) const {
        for (QPushButton* button : m_Dialog->findChildren<QPushButton*>())
            if (button->text() == caption && button->isVisible()) return button->click();
    }
    void Tab(int index) const { m_Dialog->findChild<QTabBar*>()->setCurrentIndex(index); }

    // Does `action`, answering each message box it opens; the texts, in order.
    // `watch` runs between events meanwhile, as a user's eye on the window would.
    QStringList MessagesDuring(const std::function<void()>& action,
                               const std::function<void()>& watch = {}) const {
        QStringList texts;
        QTimer timer;
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (watch) watch();
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (box != nullptr && box->isVisible()) {
                    texts << box->text();
                    box->accept();
                }
            }
        });
        timer.start();
        action();
        return texts;
    }

    QStringList Opened() const { return m_Urls.m_Opened; }

private:
    CTempFolder m_Settings;
    CUrlCatcher m_Urls;
    std::unique_ptr<COrvaneDlg> m_Dialog;
};
