#include "read_back.h"

#include <memory>

#include "cp1251.h"
#include "errors.h"
#include "file_loading.h"
#include "loader.h"
#include "number.h"

namespace qv {

namespace {

// What the loader hands over besides the document.
class ReadBack : public LoadDestination {
  public:
    TestHeader header;
    std::vector<std::string> messages;

    void buttonCountRead(const std::string& text) override { header.buttonCountText = text; }
    void titleRead(const std::string& title, const std::string& author,
                   const std::string& caption) override {
        header.title = title;
        header.author = author;
        header.windowCaption = caption;
    }
    void buttonsRead(const LineFields& captions) override { header.captions = captions; }
    void messageRead(std::string& line) override { messages.push_back(line); }
    void loadFinished() override {}
};

// Collects the differences, each once, up to a number a box can show.
class Differences {
  public:
    void compare(const std::string& what, const std::string& meant, const std::string& read) {
        if (meant == read) return;
        add(what + cp1251::fromUtf8(": сохранено «") + meant + cp1251::fromUtf8("», а в файле «") +
            read + cp1251::fromUtf8("»"));
    }
    void add(std::string text) {
        if (++count_ <= kShown) list_.push_back(std::move(text));
    }
    std::vector<std::string> take() {
        if (count_ > kShown)
            list_.push_back(cp1251::fromUtf8("и ещё ") + intToStr(count_ - kShown) +
                            cp1251::fromUtf8(" расхождений"));
        return std::move(list_);
    }

  private:
    static constexpr int kShown = 10;
    std::vector<std::string> list_;
    int count_ = 0;
};

std::string utf(const char* text) {
    return cp1251::fromUtf8(text);
}

std::string questionField(int q, const char* field) {
    return utf("вопрос ") + intToStr(q) + ", " + utf(field);
}

std::string buttonField(int q, const char* field, int b) {
    return questionField(q, field) + utf(" № ") + intToStr(b);
}

}  // namespace

std::vector<std::string> readBackDifferences(const std::string& fileName, const TestDocument& doc,
                                             const TestHeader& header,
                                             const std::vector<std::string>& messageLines) {
    Differences differences;
    const auto saved = std::make_unique<TestDocument>();
    ReadBack read;
    try {
        TestLoader loader;
        loadTestFile(loader, fileName, *saved, read);
    } catch (const Exception& failure) {
        differences.add(utf("сохранённый файл не читается: ") + failure.message());
        return differences.take();
    }

    const std::int32_t questions = questionsToSave(doc);
    const int buttons = saved->buttonCount;
    differences.compare(utf("число кнопок"), header.buttonCountText, read.header.buttonCountText);
    differences.compare(utf("заголовок"), header.title, read.header.title);
    differences.compare(utf("автор"), header.author, read.header.author);
    differences.compare(utf("подпись окна"), header.windowCaption, read.header.windowCaption);
    for (int b = 1; b <= buttons; ++b) {
        const auto k = static_cast<std::size_t>(b - 1);
        differences.compare(utf("подпись кнопки № ") + intToStr(b), header.captions[k],
                            read.header.captions[k]);
    }
    differences.compare(utf("число вопросов"), intToStr(questions), intToStr(saved->questionCount));

    const int common = std::min(questions, saved->questionCount);
    for (int q = 1; q <= common; ++q) {
        differences.compare(questionField(q, "текст"), doc.text(q), saved->text(q));
        const bool ownVariants = doc.variantMode == kOwnVariants ||
                                 (doc.variantMode == kFirstQuestionVariants && q == 1);
        for (int b = 1; b <= buttons; ++b) {
            if (ownVariants)
                differences.compare(buttonField(q, "вариант", b), doc.variant(q, b),
                                    saved->variant(q, b));
            differences.compare(buttonField(q, "баллы кнопки", b), doc.points(q, b),
                                saved->points(q, b));
        }
    }

    std::vector<std::string> written;
    for (const auto& line : messageLines)
        if (!line.empty()) written.push_back(line);
    written.emplace_back("$");
    const std::size_t lines = std::max(written.size(), read.messages.size());
    for (std::size_t i = 0; i < lines; ++i) {
        const std::string none;
        differences.compare(utf("строка сообщений ") + intToStr(static_cast<int>(i + 1)),
                            i < written.size() ? written[i] : none,
                            i < read.messages.size() ? read.messages[i] : none);
    }
    return differences.take();
}

}  // namespace qv
