// The main window as jobs see it, with a real engine and a recorded
// information line.
#pragma once

#include <string>
#include <vector>

#include "db/sqlite_engine.h"
#include "session/admin_state.h"

namespace vexla::testing {

class FakeAdminWindow final : public AdminWindow {
public:
    AdminState state_;
    db::SqliteEngine engine_;
    std::vector<std::string> infos, logged;
    std::string label;
    db::DBEngine* engineInUse = nullptr;  // another engine in place of engine_ (a faulty one)

    AdminState& state() override { return state_; }
    db::DBEngine& engine() override { return engineInUse ? *engineInUse : engine_; }
    void setInfo(const std::string& text) override { infos.push_back(text); }
    std::string info() const override { return infos.empty() ? "" : infos.back(); }
    void setPathLabel(const std::string& text) override { label = text; }
    std::string pathLabel() const override { return label; }
    void Logg(const std::string& text) override { logged.push_back(text); }
    void closeAllFiles() override { ++filesClosed; }
    int filesClosed = 0;
};

}  // namespace vexla::testing
