// The maintenance dialogs answered from a script, recording how they were used.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "maintenance/job_dialogs.h"

namespace vexla::testing {

class ScriptedPathDialog final : public PathDialog {
public:
    std::deque<std::pair<std::string, std::string>> answers;  // tag and text box, per showing
    std::vector<std::string> startPaths;
    int unloads = 0;

    std::string showModal(const std::string& startPath) override {
        startPaths.push_back(startPath);
        if (answers.empty()) answers.push_back({"", ""});
        auto [tag, text] = answers.front();
        answers.pop_front();
        text_ = text;
        return tag;
    }
    std::string txtSökväg() const override { return text_; }
    void unload() override { ++unloads; }

private:
    std::string text_;
};

class ScriptedIntervalDialog final : public IntervalDialog {
public:
    std::string tag = "OK";
    DateTime first{2026, 12, 4, 8, 0, 0}, last{2026, 12, 4, 17, 0, 0};
    int showings = 0, unloads = 0;

    std::string showModal() override {
        ++showings;
        return tag;
    }
    DateTime DTPStartTid() const override { return first; }
    DateTime DTPSlutTid() const override { return last; }
    void unload() override { ++unloads; }
};

}  // namespace vexla::testing
