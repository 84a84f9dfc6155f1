#include "CDialogFeedback.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QUrl>

template <typename Call>
void CDialogFeedback::OnWindowThread(Call call) {
    if (QThread::currentThread() == m_Window.thread()) {
        call();
    } else {
        QMetaObject::invokeMethod(&m_Window, call, Qt::BlockingQueuedConnection);
    }
}

void CDialogFeedback::ShowMessage(const std::string& text) {
    OnWindowThread([this, text] {
        // The cursor of a running analysis must not hang over a question to the user.
        const bool busy = QApplication::overrideCursor() != nullptr;
        if (busy) QApplication::restoreOverrideCursor();
        QMessageBox::information(&m_Window, "Orvane", QString::fromStdString(text));
        if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    });
}

void CDialogFeedback::ShowProgress(int index, int count, const std::string& /*file*/) {
    OnWindowThread([this, index, count] {
        m_Progress.setText(QString("Processing file %1 of %2").arg(index).arg(count));
        m_Progress.show();
    });
}

void CDialogFeedback::EndProgress() {
    OnWindowThread([this] {
        m_Progress.clear();
        m_Progress.hide();
    });
}

void CDialogFeedback::OpenReport(const std::string& reportPath) {
    OnWindowThread([reportPath] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(reportPath)));
    });
}

void CDialogFeedback::SetBusy(bool busy) {
    OnWindowThread([busy] {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    });
}
