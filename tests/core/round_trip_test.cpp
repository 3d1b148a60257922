// Save, then load: random tests come back as they were written.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core_support.h"
#include "session.h"
#include "writer.h"

namespace {

using Lines = std::vector<std::string>;

class RandomTests {
  public:
    explicit RandomTests(std::uint32_t seed) : rng_(seed) {}

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    // Bytes of any value but those that end a line or the file, and `banned`.
    std::string text(int maxLength, std::string_view banned = {}) {
        std::string out;
        for (int n = pick(0, maxLength); n > 0; --n) {
            char c = '\r';
            while (c == '\r' || c == '\x1A' || banned.find(c) != std::string_view::npos) {
                c = static_cast<char>(pick(0, 255));
            }
            out += c;
        }
        return out;
    }

    struct Test {
        qv::TestDocument doc;
        qv::TestHeader header;
        Lines messages;
        int buttons = 0;
    };

    // A test as the editor could hold it. The variants follow the mode, as
    // the editor keeps them: none for 1, those of question 1 for 2.
    void make(Test& t) {
        const bool big = pick(0, 19) == 0;
        t.doc.questionCount = big ? pick(1, 500) : pick(1, 12);
        t.buttons = pick(1, 6);
        const std::int32_t modes[] = {1, 2, 3, 3, 0, 7, -2, 2147483647};
        t.doc.variantMode = modes[pick(0, 7)];
        const std::string counts[] = {"", " ", "+", "$", "0x0"};
        t.header.buttonCountText = counts[pick(0, 4)] + std::to_string(t.buttons);

        // Header fields are split at ")" and 0x05.
        const std::string_view fieldBytes = ")\x05";
        t.header.title = text(50, fieldBytes);
        t.header.author = text(100, fieldBytes);
        t.header.windowCaption = text(100, fieldBytes);
        for (auto& caption : t.header.captions) caption = text(20, fieldBytes);

        for (int q = 1; q <= t.doc.questionCount; ++q) {
            // Now and then an empty text: the last one is then left out.
            t.doc.setText(q, pick(0, 9) == 0 ? "" : text(150));
            for (int b = 1; b <= qv::kMaxButtons; ++b) {
                std::string variant = text(90);
                if (t.doc.variantMode == 1) variant.clear();
                if (t.doc.variantMode == 2 && q > 1) variant = t.doc.variant(1, b);
                t.doc.setVariant(q, b, variant);
                t.doc.setPoints(q, b, text(8, ","));  // "," ends a value
            }
        }
        t.messages.clear();
        for (int n = pick(0, 12); n > 0; --n) t.messages.push_back(pick(0, 4) == 0 ? "" : text(80));
    }

  private:
    std::mt19937 rng_;
};

TEST(RoundTrip, RandomTestsReadBackAsWritten) {
    qvtest::TempFolder dir;
    RandomTests random(20250607);
    qv::Session session;  // reused, so stale values from the last round would show
    const qv::TestDocument& loaded = session.document();
    const qv::EditorState& editor = session.editing().editor();
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        RandomTests::Test t;
        random.make(t);
        const std::string file = qv::saveTest(dir.file("rt"), t.doc, t.header, t.messages);
        session.editing().editorOpened();
        ASSERT_NO_THROW(session.editing().loadForEditing(file));

        const int n = qv::questionsToSave(t.doc);
        const int b = t.buttons;
        // The editor takes a test without questions as one empty question.
        ASSERT_EQ(loaded.questionCount, std::max(n, 1));
        ASSERT_EQ(loaded.buttonCount, b);
        ASSERT_EQ(loaded.variantMode, t.doc.variantMode);
        for (int q = 1; q <= n; ++q) {
            ASSERT_EQ(loaded.text(q), t.doc.text(q)) << "question " << q;
            for (int k = 1; k <= b; ++k) {
                ASSERT_EQ(loaded.variant(q, k), t.doc.variant(q, k)) << q << "," << k;
                ASSERT_EQ(loaded.points(q, k), t.doc.points(q, k)) << q << "," << k;
            }
        }
        if (t.doc.variantMode == 2) {
            for (int k = 1; k <= b; ++k) ASSERT_EQ(loaded.variant(1, k), t.doc.variant(1, k));
        }

        EXPECT_EQ(editor.header.buttonCountText, t.header.buttonCountText);
        EXPECT_EQ(editor.header.title, t.header.title);
        EXPECT_EQ(editor.header.author, t.header.author);
        EXPECT_EQ(editor.header.windowCaption, t.header.windowCaption);
        for (std::size_t k = 0; k < qv::kMaxButtons; ++k) {
            EXPECT_EQ(editor.header.captions[k],
                      k < static_cast<std::size_t>(b) ? t.header.captions[k] : "");
        }
        // The editor shows the end marker as an empty last line.
        Lines messages;
        for (const auto& line : t.messages)
            if (!line.empty()) messages.push_back(line);
        messages.emplace_back();
        EXPECT_EQ(editor.messages, messages);
    }
}

}  // namespace
