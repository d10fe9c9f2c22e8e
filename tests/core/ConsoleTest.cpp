#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/Console.h"
#include "core/FileManager.h"
#include "support/TestEnvironment.h"

using core::Console;

TEST(Console, CaptureCollectsLinesAndNests) {
    Console::Capture outer;
    Console::log("one");
    {
        Console::Capture inner;
        Console::log("two\nlines");
        EXPECT_EQ(inner.lines(), std::vector<std::string>{"two\nlines"});
    }
    Console::log("three");
    EXPECT_EQ(outer.lines(), (std::vector<std::string>{"one", "three"}));
    EXPECT_TRUE(outer.contains("hre"));
    EXPECT_FALSE(outer.contains("two"));
}

TEST(Console, MessagesFromManyThreadsReachStandardOutputWhole) {
    const std::string path = testsupport::testHome() + "/console-output";
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0);
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ASSERT_GE(::dup2(file, STDOUT_FILENO), 0);

    constexpr int kThreads = 8;
    constexpr int kMessages = 200;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread] {
            const std::string block(300, static_cast<char>('a' + thread));
            for (int i = 0; i < kMessages; ++i) Console::log(block + "\n" + block);
        });
    }
    for (auto& thread : threads) thread.join();
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(file);

    const auto output = core::FileManager::readFile(path);
    ASSERT_TRUE(output);
    size_t messages = 0;
    size_t position = 0;
    const std::string& text = output.value();
    while (position < text.size()) {
        const std::string block(300, text[position]);
        const std::string message = block + "\n" + block + "\n";
        ASSERT_EQ(text.compare(position, message.size(), message), 0)
            << "torn message at byte " << position << ": " << text.substr(position, 80);
        position += message.size();
        ++messages;
    }
    EXPECT_EQ(messages, size_t{kThreads * kMessages});
}
