#include "IsValidLocalIP.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(IsValidLocalIP, ReadsTextAsInetAddrDoes) {
    const struct {
        QString text;
        quint32 number;
    } cases[] = {
        {"192.168.1.1", 0xC0A80101},
        {"10.1.2.3", 0x0A010203},
        {"010.0.0.1", 0x08000001},
        {"192.168.001.001", 0xC0A80101},
        {"0x7f.1", 0x7F000001},
        {"10.1", 0x0A000001},
        {"255.255.255.255", 0xFFFFFFFF},
        {"0.0.0.0", 0},
        {"", 0xFFFFFFFF},
        {"router", 0xFFFFFFFF},
        {"1.2.3.4.5", 0xFFFFFFFF},
        {"256.1.1.1", 0xFFFFFFFF},
        {QStringLiteral("10.0.0.1\u0000junk"), 0xFFFFFFFF},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(inetNumber(c.text), c.number) << c.text.toStdString();
        const QVariant boxed = inetNSNumber(c.text);
        EXPECT_EQ(boxed.typeId(), QMetaType::UInt);
        EXPECT_EQ(boxed.value<quint32>(), c.number);
    }
}

TEST(IsValidLocalIP, LocalBlocksAndTheirBoundaries) {
    const struct {
        const char *text;
        bool local;
    } cases[] = {
        {"10.1.2.3", true},
        {"10.0.0.0", true},
        {"10.255.255.255", true},
        {"9.255.255.255", false},
        {"11.0.0.1", false},
        {"172.16.0.0", true},
        {"172.20.0.1", true},
        {"172.31.255.255", true},
        {"172.15.255.255", false},
        {"172.32.0.1", false},
        {"192.168.0.0", true},
        {"192.168.1.1", true},
        {"192.168.255.255", true},
        {"192.167.255.255", false},
        {"192.169.0.1", false},
        {"127.0.0.1", true},
        {"127.255.255.255", true},
        {"128.0.0.0", false},
        {"8.8.8.8", false},
        {"169.254.1.1", false},
        {"0.0.0.0", false},
        {"255.255.255.255", false},
        {"", false},
        {"not an address", false},
        {"010.0.0.1", false},
        {"192.168.001.001", true},
        {"10.1", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isValidLocalIP(c.text), c.local) << c.text;
}

TEST(IsValidLocalIP, FirstUseFromManyThreadsAgrees) {
    std::vector<std::thread> threads;
    std::vector<int> answers(8, -1);
    for (size_t i = 0; i < answers.size(); ++i)
        threads.emplace_back([&answers, i] {
            answers[i] = isValidLocalIP(QStringLiteral("172.16.5.4")) &&
                         !isValidLocalIP(QStringLiteral("172.32.0.1"));
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(answers, std::vector<int>(answers.size(), 1));
}

TEST(IsValidLocalIP, AddressTexts) {
    const struct {
        quint32 number;
        const char *text;
    } cases[] = {
        {0xC0A80101, "192.168.1.1"},
        {0x0A000001, "10.0.0.1"},
        {0, "0.0.0.0"},
        {0xFFFFFFFF, "255.255.255.255"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(addressWithInetNumber(c.number), c.text);
        EXPECT_EQ(addressWithInetNSNumber(QVariant::fromValue(c.number)), c.text);
    }
    // Each text is copied out before the next call reuses the C library's buffer.
    const QString first = addressWithInetNumber(0x01020304);
    const QString second = addressWithInetNumber(0x05060708);
    EXPECT_EQ(first, "1.2.3.4");
    EXPECT_EQ(second, "5.6.7.8");
}
