#pragma once
// A plain window that stands in for the main window: it shows where the
// program keeps its files and which history pages were last regenerated.

#include "app/startup.h"

#include <QWidget>

class QLabel;

namespace vantoli {

class PlaceholderWindow final : public QWidget, public MainWindowHost {
    Q_OBJECT
public:
    explicit PlaceholderWindow(QString programFolder, QWidget *parent = nullptr);

    bool load() override;
    ShowResult show() override;
    void reloadHistoryPane(HistoryList list, const QString &pagePath) override;

private:
    void refreshText();

    QString folder_;
    QLabel *label_ = nullptr;
    bool loaded_ = false;
    QStringList reloaded_;
};

} // namespace vantoli
