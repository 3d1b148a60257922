// The largest test the format allows, for the benchmarks: 500 questions of
// 150 characters, six buttons, a variant of 80 characters for every question
// and button, and the 1000 message lines a run holds (999 lines and the end
// marker the saver adds), a range line before every ten lines of text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cp1251.h"
#include "document.h"
#include "writer.h"

namespace qvbench {

// `size` bytes of Russian text in Windows-1251, with no line end in it.
inline std::string text(std::size_t size) {
    static const std::string pattern =
        qv::cp1251::fromUtf8("Съешь же ещё этих мягких французских булок, да выпей чаю. ");
    std::string out;
    out.reserve(size + pattern.size());
    while (out.size() < size) out += pattern;
    out.resize(size);
    return out;
}

// `size` bytes: `label` followed by text, so that neighbouring questions and
// variants differ, as they do in a real test.
inline std::string labelled(const std::string& label, std::size_t size) {
    return label + text(size - label.size());
}

struct LargestTest {
    std::unique_ptr<qv::TestDocument> doc = std::make_unique<qv::TestDocument>();
    qv::TestHeader header;
    std::vector<std::string> messages;
};

// Button 1 of every question carries `firstPoints`, the others `otherPoints`.
// The message ranges are "=0-109", "=110-219" ... "=9790-9899", "=9900-10009".
inline LargestTest makeLargestTest(const std::string& firstPoints = "-123",
                                   const std::string& otherPoints = "-123") {
    LargestTest t;
    qv::TestDocument& doc = *t.doc;
    doc.questionCount = qv::kMaxQuestions;
    doc.buttonCount = qv::kMaxButtons;
    doc.activeButtonCount = qv::kMaxButtons;
    doc.variantMode = qv::kOwnVariants;
    for (int q = 1; q <= qv::kMaxQuestions; ++q) {
        doc.setText(q, labelled(std::to_string(q) + ". ", 150));
        for (int b = 1; b <= qv::kMaxButtons; ++b) {
            doc.setVariant(
                q, b,
                labelled(std::to_string(q) + "." + std::to_string(b) + " ", qv::kVariantCapacity));
            doc.setPoints(q, b, b == 1 ? firstPoints : otherPoints);
        }
    }
    t.header.buttonCountText = "6";
    t.header.title = text(60);
    t.header.author = text(40);
    t.header.windowCaption = text(30);
    for (auto& caption : t.header.captions) caption = text(20);
    for (int i = 0; i < qv::kMaxMessageLines - 1; ++i) {
        if (i % 11 == 0) {
            std::string range = "=";
            range += std::to_string(i * 10);
            range += '-';
            range += std::to_string(i * 10 + 109);
            t.messages.push_back(range);
        } else {
            // Short enough that the editor's message field shows each on one
            // line, so that a save from the editor writes the same 1000 lines.
            t.messages.push_back(text(30));
        }
    }
    return t;
}

// The lines of the test's file, as the core's writer makes them.
inline std::vector<std::string> fileLines(const LargestTest& t) {
    return qv::testFileLines(*t.doc, qv::kMaxQuestions, qv::kMaxButtons, t.header, t.messages);
}

}  // namespace qvbench
