// The one test held in memory, and the result-message lines of the test
// loaded for a run. Indexes are 1-based, as everywhere in the program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr int kMaxQuestions = 500;
inline constexpr int kMaxButtons = 6;
inline constexpr std::size_t kVariantCapacity = 80;
inline constexpr int kMaxMessageLines = 1000;
// Storage a text may keep beyond its length before it is given back.
inline constexpr std::size_t kSpareTextCapacity = 64 * 1024;

enum VariantModes : std::int32_t { kNoVariants = 1, kFirstQuestionVariants = 2, kOwnVariants = 3 };

struct Question {
    std::string text;
    std::array<std::string, kMaxButtons> variants;  // each at most kVariantCapacity bytes
};

class TestDocument {
  public:
    std::int32_t questionCount = 0;
    std::int32_t currentQuestion = 0;
    std::int32_t buttonCount = 0;        // the count of the Info line of the last file loaded
    std::int32_t activeButtonCount = 0;  // the count in use, 1..6
    std::int32_t variantMode = 0;

    // q in 1..kMaxQuestions, b in 1..kMaxButtons; anything else throws std::out_of_range.
    const std::string& text(int q) const;
    void setText(int q, std::string text);
    // Puts `text` in as question q's text and hands back the old one, so
    // that a reader can reuse its storage instead of copying long lines.
    void takeText(int q, std::string& text);
    const std::string& variant(int q, int b) const;
    void setVariant(int q, int b, const std::string& text);  // keeps the first 80 bytes
    const std::string& points(int q, int b) const;
    void setPoints(int q, int b, std::string text);

    // Closing the editor: questions 1..questionCount lose their texts,
    // variants and points; nothing else changes.
    void clearQuestions();

  private:
    static std::size_t slot(int q);
    static std::size_t button(int b);

    std::array<Question, kMaxQuestions> questions_;
    std::array<std::array<std::string, kMaxButtons>, kMaxQuestions> points_;
};

// The message section of the test last loaded for a run, end marker included.
class MessageLines {
  public:
    int count() const { return count_; }
    const std::string& line(int i) const;  // 1..count()
    void clear() { count_ = 0; }
    // Appends a line; raises an Exception naming the limit past 1000 lines.
    void append(std::string line) { take(line); }
    // Appends the contents of `line` and hands back the storage of a line
    // that an earlier load no longer needs.
    void take(std::string& line);
    // Gives back the large storage kept past count() for the next load (the
    // lines themselves come from the loader with no surplus).
    void releaseSpareStorage() noexcept;

  private:
    // Lines past count_ are storage kept for the next load.
    std::vector<std::string> lines_;
    int count_ = 0;
};

}  // namespace qv
