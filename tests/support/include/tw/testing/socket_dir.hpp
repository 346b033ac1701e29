#pragma once
// A fixture whose tests send and receive in a socket folder of their own: made in a new
// temporary folder before each test, removed with it after.

#include "tw/messaging/local_socket.hpp"
#include "tw/messaging/transport.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tw::test {

class PrivateSocketDir : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tw-sockets-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_base = tmpl;
        m_dir = m_base + "/sockets";
        ::setenv(tw::messaging::local::kDirectoryVariable, m_dir.c_str(), 1);
    }
    void TearDown() override {
        tw::messaging::DisconnectThread();
        ::unsetenv(tw::messaging::local::kDirectoryVariable);
        std::error_code ec;
        std::filesystem::remove_all(m_base, ec);
    }
    std::string m_base;  // the temporary folder, for files of the test
    std::string m_dir;   // the socket folder inside it
};

}  // namespace tw::test
