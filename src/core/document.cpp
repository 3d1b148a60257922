#include "document.h"

#include <stdexcept>

#include "cp1251.h"
#include "errors.h"

namespace qv {

std::size_t TestDocument::slot(int q) {
    if (q < 1 || q > kMaxQuestions) throw std::out_of_range("question index out of range");
    return static_cast<std::size_t>(q - 1);
}

std::size_t TestDocument::button(int b) {
    if (b < 1 || b > kMaxButtons) throw std::out_of_range("button index out of range");
    return static_cast<std::size_t>(b - 1);
}

const std::string& TestDocument::text(int q) const {
    return questions_[slot(q)].text;
}

void TestDocument::setText(int q, std::string text) {
    questions_[slot(q)].text = std::move(text);
}

void TestDocument::takeText(int q, std::string& text) {
    questions_[slot(q)].text.swap(text);
}

const std::string& TestDocument::variant(int q, int b) const {
    return questions_[slot(q)].variants[button(b)];
}

void TestDocument::setVariant(int q, int b, const std::string& text) {
    questions_[slot(q)].variants[button(b)] = text.substr(0, kVariantCapacity);
}

const std::string& TestDocument::points(int q, int b) const {
    return points_[slot(q)][button(b)];
}

void TestDocument::setPoints(int q, int b, std::string text) {
    points_[slot(q)][button(b)] = std::move(text);
}

void TestDocument::clearQuestions() {
    for (int q = 1; q <= questionCount && q <= kMaxQuestions; ++q) {
        Question& question = questions_[slot(q)];
        question.text.clear();
        for (auto& v : question.variants) v.clear();
        for (auto& p : points_[slot(q)]) p.clear();
    }
}

void MessageLines::releaseSpareStorage() noexcept {
    for (std::size_t i = static_cast<std::size_t>(count_); i < lines_.size(); ++i) {
        if (lines_[i].capacity() > kSpareTextCapacity) std::string().swap(lines_[i]);
    }
}

const std::string& MessageLines::line(int i) const {
    if (i < 1 || i > count()) throw std::out_of_range("message line index out of range");
    return lines_[static_cast<std::size_t>(i - 1)];
}

void MessageLines::take(std::string& line) {
    if (count() >= kMaxMessageLines) {
        throw Exception(
            cp1251::fromUtf8("В файле теста больше 1000 строк сообщений о результатах, а тест "
                             "может содержать не более 1000 таких строк"));
    }
    const auto slot = static_cast<std::size_t>(count_);
    if (slot < lines_.size()) {
        lines_[slot].swap(line);
    } else {
        lines_.push_back(std::move(line));
        line.clear();
    }
    ++count_;
}

}  // namespace qv
