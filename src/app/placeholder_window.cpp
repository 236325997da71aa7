#include "app/placeholder_window.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vantoli {

PlaceholderWindow::PlaceholderWindow(QString programFolder, QWidget *parent)
    : QWidget(parent), folder_(std::move(programFolder)) {
    setObjectName(QStringLiteral("BA1"));
    setWindowTitle(kProductName);
    resize(990, 655);
    setStyleSheet(QStringLiteral("background:#212121;color:#DBDBDB;font-size:14px;"));
    auto *layout = new QVBoxLayout(this);
    label_ = new QLabel(this);
    label_->setAlignment(Qt::AlignCenter);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label_);
}

bool PlaceholderWindow::load() {
    if (!loaded_) {
        loaded_ = true;
        refreshText();
    }
    return true;
}

MainWindowHost::ShowResult PlaceholderWindow::show() {
    if (!load())
        return ShowResult::EndProcess;
    QWidget::show();
    return ShowResult::Shown;
}

void PlaceholderWindow::reloadHistoryPane(HistoryList list, const QString &pagePath) {
    Q_UNUSED(list);
    reloaded_.append(pagePath);
    refreshText();
}

void PlaceholderWindow::refreshText() {
    QString text = QStringLiteral("<h2>Vantoli</h2><p>Program folder: %1</p>").arg(folder_.toHtmlEscaped());
    if (!reloaded_.isEmpty())
        text += QStringLiteral("<p>History pages written: %1</p>")
                    .arg(reloaded_.join(QStringLiteral(", ")).toHtmlEscaped());
    label_->setText(text);
}

} // namespace vantoli
