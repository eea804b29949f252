// Shared by the project tests: an application object on scripted prompts,
// and small builders for projects and entries.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/support/TempDir.h"

namespace folivex::test {

inline std::unique_ptr<CPieceElem> Entry(const std::string& path, int32_t seq, int32_t search,
                                         int32_t incl) {
    auto e = std::make_unique<CPieceElem>();
    e->path = path;
    e->inPageSequence = seq;
    e->inSearch = search;
    e->included = incl;
    return e;
}

class AppTest : public ::testing::Test {
protected:
    std::string LastMessage() const {
        return prompts.messages.empty() ? "" : prompts.messages.back().text;
    }

    std::string Paths() const {
        std::string s;
        for (const auto& e : app.project.pages) s += (s.empty() ? "" : " ") + e->path;
        return s;
    }

    ScriptedPrompts prompts;
    CBookApp app{prompts};
    TempDir dir;
};

}  // namespace folivex::test
