#pragma once
// Dialogs for tests: questions are answered with `answer`, the open-file
// dialog with `chosenFile`, the folder dialog with `chosenFolder`;
// everything asked or shown is recorded.

#include "app/dialogs.h"

#include <QStringList>

namespace vantoli {

class FakeDialogs : public Dialogs {
public:
    bool answer = false;
    QString chosenFile; // "" answers the open-file dialog with cancel
    QString chosenFolder; // "" answers the folder dialog with cancel
    QStringList questions, messages, opened, fileDialogs;
    QStringList folderDialogs; // title "|" initial folder

    bool askYesNo(const QString &title, const QString &text) override {
        questions.append(title + text);
        return answer;
    }
    void showMessage(const QString &title, const QString &text) override { messages.append(title + text); }
    // Recorded in `messages` too; `questionMessages` tells which had the icon.
    QStringList questionMessages;
    void showQuestionMessage(const QString &title, const QString &text) override {
        messages.append(title + text);
        questionMessages.append(title + text);
    }
    void openUrl(const QString &url) override { opened.append(url); }
    QStringList openedFolders;
    void openFolder(const QString &folder) override { openedFolders.append(folder); }
    QString chooseFile(const QString &title, const QString &filter) override {
        fileDialogs.append(title + u'|' + filter);
        return chosenFile;
    }
    QString chooseFolder(const QString &title, const QString &initialFolder) override {
        folderDialogs.append(title + u'|' + initialFolder);
        return chosenFolder;
    }
};

} // namespace vantoli
