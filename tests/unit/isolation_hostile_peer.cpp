// A module host that plays one part on its end of the channel (descriptor 3), then waits to be
// ended: mostly a hostile module's, which breaks the channel with one form of hostile bytes (or,
// for "truncated", ends at once); or a well-behaved one's ("answer": it answers the shell's first
// call after 300 ms; "event": it raises one event at once). KESTRIX_TEST_HOSTILE names the part
// and a seed: "nesting:7".

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr int Channel = 3;
enum Kind : uint8_t { Answer = 9, Event = 11, Alive = 16 };
enum Tag : uint8_t { Int = 2, Text = 7, List = 9 };

void put32(std::string& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes += static_cast<char>((value >> shift) & 0xff);
    }
}

void putText(std::string& bytes, const std::string& text) {
    put32(bytes, static_cast<uint32_t>(text.size()));
    bytes += text;
}

// Length, kind, number, then the fields.
std::string frame(uint8_t kind, uint32_t number, const std::string& fields) {
    std::string bytes;
    put32(bytes, static_cast<uint32_t>(5 + fields.size()));
    bytes += static_cast<char>(kind);
    put32(bytes, number);
    return bytes + fields;
}

void writeAll(const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(Channel, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            std::_Exit(0);  // the shell has closed the channel
        }
        done += static_cast<size_t>(written);
    }
}

std::string randomBytes(std::mt19937& random, size_t count) {
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

// An event "Hostile" whose one parameter is what follows.
std::string eventWith(const std::string& parameter) {
    std::string fields;
    putText(fields, "Hostile");
    put32(fields, 1);
    return frame(Event, 1, fields + parameter);
}

}  // namespace

int main() {
    const char* setting = std::getenv("KESTRIX_TEST_HOSTILE");
    const std::string form = setting != nullptr ? setting : "";
    const std::string name = form.substr(0, form.find(':'));
    std::mt19937 random(static_cast<uint32_t>(std::atoi(form.c_str() + name.size() + 1)));
    if (name == "nesting") {
        // Lists inside lists, a hundred thousand deep.
        std::string nested;
        for (int depth = 0; depth < 100000; ++depth) {
            nested += static_cast<char>(List);
            put32(nested, 1);
        }
        writeAll(eventWith(nested));
    } else if (name == "foreign") {
        // A value of a type the channel does not carry (an image, say), with its bytes.
        writeAll(eventWith(static_cast<char>(0x40 + random() % 0x40) + randomBytes(random, 4096)));
    } else if (name == "oversized") {
        // An event name of four million characters, or a text value beyond its bound.
        if (random() % 2 == 0) {
            std::string fields;
            putText(fields, std::string(4'000'000, 'x'));
            put32(fields, 0);
            writeAll(frame(Event, 1, fields));
        } else {
            std::string value(1, static_cast<char>(Text));
            putText(value, std::string(200'000 + random() % 100'000, 'y'));
            writeAll(eventWith(value));
        }
    } else if (name == "short") {
        // An answer that counts more values than it holds.
        std::string fields;
        put32(fields, 5);
        fields += static_cast<char>(Int);
        put32(fields, 42);
        writeAll(frame(Answer, 1, fields));
    } else if (name == "long") {
        // A whole answer, then bytes after it inside the frame.
        std::string fields;
        put32(fields, 1);
        fields += static_cast<char>(Int);
        put32(fields, 42);
        writeAll(frame(Answer, 1, fields + randomBytes(random, 1 + random() % 64)));
    } else if (name == "garbage") {
        // Sixteen megabytes of noise.
        writeAll(randomBytes(random, 16u << 20));
    } else if (name == "flood") {
        // Valid messages, as fast as the channel takes them.
        const std::string alive = frame(Alive, 0, "");
        std::string burst;
        for (int i = 0; i < 1000; ++i) {
            burst += alive;
        }
        for (;;) {
            writeAll(burst);
        }
    } else if (name == "answer") {
        std::string head(9, '\0');
        for (size_t got = 0; got < head.size();) {
            const ssize_t read = ::read(Channel, head.data() + got, head.size() - got);
            if (read <= 0) {
                return 0;
            }
            got += static_cast<size_t>(read);
        }
        uint32_t number = 0;
        for (int i = 5; i < 9; ++i) {
            number = (number << 8) | static_cast<uint8_t>(head[static_cast<size_t>(i)]);
        }
        ::usleep(300'000);
        std::string noValues;
        put32(noValues, 0);
        writeAll(frame(Answer, number, noValues));
    } else if (name == "event") {
        std::string fields;
        putText(fields, "RefillRequested");
        put32(fields, 0);
        fields += '\0';  // not from a thread of its own
        writeAll(frame(Event, 1, fields));
    } else if (name == "truncated") {
        // The start of an event, then the end of the process.
        const std::string whole = eventWith(std::string(1, static_cast<char>(Int)) + "\0\0\0\1");
        writeAll(whole.substr(0, whole.size() - 1 - random() % 4));
        return 0;
    }
    for (;;) {
        ::pause();
    }
}
