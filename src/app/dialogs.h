#pragma once
// Message boxes, questions and the desktop's "open" action, behind one
// interface so that tests answer the questions and read the messages.

#include <QString>

namespace vantoli {

inline const QString kDialogTitle = QStringLiteral("提示：");

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Yes/No question with a question icon; true for Yes.
    virtual bool askYesNo(const QString &title, const QString &text) = 0;
    // Message with an OK button.
    virtual void showMessage(const QString &title, const QString &text) = 0;
    // Message with a question-mark icon and an OK button.
    virtual void showQuestionMessage(const QString &title, const QString &text) { showMessage(title, text); }
    // Opens an address with the desktop's default handler.
    virtual void openUrl(const QString &url) = 0;
    // Shows a folder in the desktop's file manager.
    virtual void openFolder(const QString &folder) = 0;
    // Open-file dialog with an empty initial name; filter in Qt's form
    // ("Name (*.a *.b);;Other (*)"). The chosen path, "" on cancel.
    virtual QString chooseFile(const QString &title, const QString &filter) = 0;
    // Folder-selection dialog opening at initialFolder (when given); the
    // chosen folder without a trailing "/", "" on cancel.
    virtual QString chooseFolder(const QString &title, const QString &initialFolder) = 0;
};

} // namespace vantoli
