#pragma once
// The dialogs' blocking parts replaced by a script: choosers answer from a queue (an empty queue
// cancels), messages and questions are kept, and a modal dialog is handed to a function instead
// of being run (accepted when there is none).

#include <QDialog>
#include <deque>
#include <functional>
#include <vector>

#include "DialogServices.h"

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
    void ShowAbout(QWidget*) override { ++abouts; }
    bool RunModal(QDialog& dialog) override {
        ++modals;
        return run ? run(dialog) : true;
    }

    std::deque<std::optional<QString>> answers;
    std::vector<FileRequest> requests;
    std::vector<QString> folderTitles;
    std::vector<QString> messages;
    std::vector<QString> questions;
    bool yes = true;
    int abouts = 0;
    int modals = 0;
    std::function<bool(QDialog&)> run;

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
