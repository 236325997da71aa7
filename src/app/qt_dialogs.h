#pragma once

#include "app/dialogs.h"

class QWidget;

namespace vantoli {

// Dialogs on QMessageBox and QDesktopServices, owned by the given window.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget *owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget *owner) { owner_ = owner; }
    bool askYesNo(const QString &title, const QString &text) override;
    void showMessage(const QString &title, const QString &text) override;
    void showQuestionMessage(const QString &title, const QString &text) override;
    void openUrl(const QString &url) override;
    void openFolder(const QString &folder) override;
    QString chooseFile(const QString &title, const QString &filter) override;
    QString chooseFolder(const QString &title, const QString &initialFolder) override;

private:
    QWidget *owner_;
};

} // namespace vantoli
