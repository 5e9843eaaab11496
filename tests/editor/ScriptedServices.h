#pragma once
// The dialogs' blocking parts replaced by a script: choosers answer from a queue (an empty queue
// cancels), messages and questions are kept, a modal dialog is handed to a function instead
// of being run (accepted when there is none), and a file opened with the desktop is handed to a
// stand-in editor.

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <ostream>
#include <vector>

#include "DialogServices.h"

// Failed expectations print a QString as its text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace korvale::test {

class ScriptedServices : public DialogServices {
  public:
    std::optional<QString> ChooseFile(QWidget*, const FileRequest& request) override {
        requests.push_back(request);
        return Next();
    }
    std::optional<QString> ChooseFolder(QWidget*, const QString& title) override {
        folderTitles.push_back(title);
        return Next();
    }
    void ShowMessage(QWidget*, const QString& text) override { messages.push_back(text); }
    bool Ask(QWidget*, const QString& question) override {
        questions.push_back(question);
        return yes;
    }
    SaveChoice AskToSave(QWidget*, const QString& question) override {
        saveQuestions.push_back(question);
        if (saveChoices.empty()) {
            return SaveChoice::kCancel;  // unscripted: nothing is lost
        }
        const SaveChoice choice = saveChoices.front();
        saveChoices.pop_front();
        return choice;
    }
    void ShowAbout(QWidget*) override { ++abouts; }
    bool RunModal(QDialog& dialog) override {
        ++modals;
        return run ? run(dialog) : true;
    }
    bool OpenWithDesktop(const QString& path) override {
        opened.push_back(path);
        if (edit) {
            edit(path);
        }
        return desktopWorks;
    }

    std::deque<std::optional<QString>> answers;
    std::vector<FileRequest> requests;
    std::vector<QString> folderTitles;
    std::vector<QString> messages;
    std::vector<QString> questions;
    bool yes = true;
    // "Save changes?" asked, and the answers in turn (none left: Cancel).
    std::vector<QString> saveQuestions;
    std::deque<SaveChoice> saveChoices;
    int abouts = 0;
    int modals = 0;
    std::function<bool(QDialog&)> run;
    // Files opened with the desktop; edit, when set, plays the desktop's image editor.
    std::vector<QString> opened;
    std::function<void(const QString&)> edit;
    bool desktopWorks = true;

  private:
    std::optional<QString> Next() {
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace korvale::test
