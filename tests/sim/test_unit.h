#pragma once
// A throw-away unit root for one test: made below /tmp, used as the unit root while the fixture
// lives, removed afterwards.

#include "board_setup.h"
#include "unit_root.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orva::test {

class scoped_unit {
public:
    scoped_unit()
    {
        char tmpl[] = "/tmp/orva-unit-XXXXXX";
        const char* dir = ::mkdtemp(tmpl);
        if (!dir)
            std::abort();
        m_root = dir;
        orva::sim::prepare_unit_root(m_root);
        orva::set_unit_root_for_test(m_root);
    }
    ~scoped_unit()
    {
        orva::set_unit_root_for_test("");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    scoped_unit(const scoped_unit&) = delete;
    scoped_unit& operator=(const scoped_unit&) = delete;

    const std::string& root() const { return m_root; }
    std::string path(const std::string& board_path) const { return m_root + board_path; }

    std::string read(const std::string& board_path) const
    {
        std::ifstream in(path(board_path), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void write(const std::string& board_path, const std::string& text) const
    {
        std::ofstream out(path(board_path), std::ios::binary | std::ios::trunc);
        out << text;
    }

private:
    std::string m_root;
};

}  // namespace orva::test
