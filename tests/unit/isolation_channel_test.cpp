// The private channel between the shell and a module's process, over a socket pair: messages of
// any size arrive whole and in order, also when the socket takes a large message in parts; what
// arrived before the other end closed, or before bytes that are no message, is still handed on.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDate>
#include <QRandomGenerator>
#include <QSize>
#include <memory>
#include <vector>

#include "TestApplication.h"
#include "WaitUntil.h"
#include "channel/ModuleChannel.h"

namespace kestrix {
namespace {

// The two ends of a fresh pair, and what the receiving end has handed on.
struct ChannelPair {
    ChannelPair() {
        ensureApplication();
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        sender = std::make_unique<ModuleChannel>(ends[0]);
        receiver = std::make_unique<ModuleChannel>(ends[1]);
        QObject::connect(receiver.get(), &ModuleChannel::received,
                         [this](const ModuleMessage& message) { received.push_back(message); });
        QObject::connect(receiver.get(), &ModuleChannel::closed,
                         [this](ModuleChannel::Ending ending) {
                             closed = ending == ModuleChannel::Ending::Closed ? 1 : 2;
                         });
    }

    std::unique_ptr<ModuleChannel> sender;
    std::unique_ptr<ModuleChannel> receiver;
    std::vector<ModuleMessage> received;
    int closed = 0;  // 1: closed by the other end, 2: unreadable
};

// An answer or an event of random values, most of them short, some up to the bounds of a text
// (the largest near a megabyte).
ModuleMessage randomMessage(QRandomGenerator& random, uint32_t number) {
    const bool large = random.bounded(8) == 0;
    QVariantList values;
    for (int i = static_cast<int>(random.bounded(large ? 15 : 3)); i >= 0; --i) {
        const int length = static_cast<int>(random.bounded(large ? 60000 : 64));
        values.append(QString(length, QLatin1Char('a' + static_cast<char>(random.bounded(26)))));
        values.append(static_cast<int>(random.bounded(1000)));
    }
    if (random.bounded(2) == 0) {
        Message::Answer answer;
        answer.values = values;
        return answer.frame(number);
    }
    Message::Event event;
    event.name = QStringLiteral("Event%1").arg(number);
    event.parameters = values;
    return event.frame(number);
}

TEST(ModuleChannel, RandomMessagesOfAnySizeArriveWholeAndInOrderThenTheCloseAfterThem) {
    for (quint32 seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        QRandomGenerator random(seed);
        ChannelPair pair;
        std::vector<ModuleMessage> sent;
        for (uint32_t number = 1; number <= 60; ++number) {
            sent.push_back(randomMessage(random, number));
            pair.sender->send(sent.back());
        }
        ASSERT_TRUE(runEventsUntil([&] { return pair.received.size() == sent.size(); }));
        pair.sender.reset();
        ASSERT_TRUE(runEventsUntil([&] { return pair.closed != 0; }));
        EXPECT_EQ(pair.closed, 1);
        ASSERT_EQ(pair.received.size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(pair.received[i].kind, sent[i].kind);
            EXPECT_EQ(pair.received[i].number, sent[i].number);
            EXPECT_EQ(pair.received[i].fields, sent[i].fields);
        }
        EXPECT_FALSE(pair.receiver->isOpen());
    }
}

TEST(ModuleChannel, BytesThatAreNoMessageCloseItAfterTheMessagesBeforeThem) {
    ensureApplication();
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ModuleChannel receiver(ends[1]);
    std::vector<uint32_t> numbers;
    int closed = 0;
    QObject::connect(&receiver, &ModuleChannel::received,
                     [&](const ModuleMessage& message) { numbers.push_back(message.number); });
    QObject::connect(&receiver, &ModuleChannel::closed, [&](ModuleChannel::Ending ending) {
        closed = ending == ModuleChannel::Ending::Closed ? 1 : 2;
    });
    const QByteArray bytes =
        Message::Alive().frame(7).framed() + QByteArray("\xff\xff\xff\xffgarbage", 11);
    ASSERT_EQ(write(ends[0], bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ASSERT_TRUE(runEventsUntil([&] { return closed != 0; }));
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(numbers, std::vector<uint32_t>{7});
    // The sender's end sees the channel gone.
    char byte = 0;
    EXPECT_EQ(read(ends[0], &byte, 1), 0);
    close(ends[0]);
}

// Values cross as their own type where the channel carries it; a list inside a list's item and a
// value of another type cross as their text, or empty where they have none.
TEST(ModuleMessage, ValuesCrossAsTheirTypeOrAsTheirText) {
    // What is sent, and what arrives.
    const std::vector<std::pair<QVariant, QVariant>> crossings = {
        {7, 7},
        {7u, 7u},
        {qlonglong{-7}, qlonglong{-7}},
        {qulonglong{7}, qulonglong{7}},
        {0.5, 0.5},
        {true, true},
        {QStringLiteral("Süd"), QStringLiteral("Süd")},
        {QByteArray("\0\1", 2), QByteArray("\0\1", 2)},
        {QDate(2026, 12, 8), QStringLiteral("2026-12-08")},
        {QVariant(), QVariant()},
        {QVariant::fromValue(QSize(1, 2)), QVariant()},
        {QVariantList{1, QStringLiteral("a"), QVariantList{2}},
         QVariantList{1, QStringLiteral("a"), QVariant()}}};
    Message::Let let;
    let.member = QStringLiteral("Caption");
    for (const auto& [sent, arrives] : crossings) {
        let.arguments.append(sent);
    }
    const std::optional<ModuleMessage> frame = ModuleMessage::read(let.frame(3).framed().mid(4));
    ASSERT_TRUE(frame.has_value());
    const std::optional<Message::Let> crossed = Message::Let::from(*frame);
    ASSERT_TRUE(crossed.has_value());
    EXPECT_EQ(crossed->member, let.member);
    ASSERT_EQ(crossed->arguments.size(), static_cast<qsizetype>(crossings.size()));
    for (size_t i = 0; i < crossings.size(); ++i) {
        const QVariant& arrived = crossed->arguments[static_cast<qsizetype>(i)];
        EXPECT_EQ(arrived, crossings[i].second) << i;
        EXPECT_EQ(arrived.metaType(), crossings[i].second.metaType()) << i;
    }
}

}  // namespace
}  // namespace kestrix
