#include "loader.h"

#include "cp1251.h"
#include "errors.h"
#include "number.h"

namespace qv {

namespace {

const std::string kMessageHeader = "Message:";

[[noreturn]] void refuse(const std::string& utf8Message) {
    throw Exception(cp1251::fromUtf8(utf8Message));
}

}  // namespace

void TestLoader::nextLine() {
    ioCheck(file_.readLine(line_));
    // The line is handed on by swapping: a buffer grown for a long line is
    // not handed on with a short one.
    if (line_.capacity() > line_.size() + kSpareTextCapacity) line_.shrink_to_fit();
}

void TestLoader::splitLine() {
    fields_ = splitFields(line_);
}

bool TestLoader::atEnd() {
    bool end = true;
    ioCheck(file_.atEnd(end));
    return end;
}

void TestLoader::readHeader(TestDocument& doc, LoadDestination& destination) {
    nextLine();
    splitLine();
    const std::int32_t questions = strToInt(fields_[0]);
    if (questions < 0 || questions > kMaxQuestions) {
        refuse("В файле теста указано вопросов: " + std::to_string(questions) +
               ". Тест может содержать от 0 до 500 вопросов");
    }
    doc.questionCount = questions;
    const std::int32_t buttons = strToInt(fields_[1]);
    if (buttons < 1 || buttons > kMaxButtons) {
        refuse("В файле теста указано кнопок: " + std::to_string(buttons) +
               ". Тест может иметь от 1 до 6 кнопок");
    }
    doc.buttonCount = buttons;
    destination.buttonCountRead(fields_[1]);
    doc.variantMode = strToInt(fields_[2]);
    destination.variantModeRead(doc.variantMode);

    nextLine();
    splitLine();
    destination.titleRead(fields_[0], fields_[1], fields_[2]);

    nextLine();
    splitLine();
    destination.buttonsRead(fields_);
}

void TestLoader::readVariants(TestDocument& doc, std::int32_t mode, LoadDestination& destination) {
    const int questions = doc.questionCount;
    const int buttons = doc.buttonCount;
    if (mode == kNoVariants) {
        for (int q = 1; q <= questions; ++q)
            for (int b = 1; b <= buttons; ++b) doc.setVariant(q, b, {});
    } else if (mode == kFirstQuestionVariants) {
        for (int b = 1; b <= buttons; ++b) {
            nextLine();
            destination.variantRead(1, b, line_);
            doc.setVariant(1, b, line_);
        }
        for (int q = 2; q <= questions; ++q)
            for (int b = 1; b <= buttons; ++b) doc.setVariant(q, b, doc.variant(1, b));
    } else {
        for (int q = 1; q <= questions; ++q) {
            for (int b = 1; b <= buttons; ++b) {
                nextLine();
                destination.variantRead(q, b, line_);
                doc.setVariant(q, b, line_);
            }
        }
    }
}

bool TestLoader::readPoints(TestDocument& doc) {
    nextLine();  // the first points line
    // A test without questions has no points line: its "Message:" line
    // follows "Numbers:" directly and is taken as the message header.
    if (doc.questionCount < 1 && line_ == kMessageHeader) return true;
    PointsParser parser(doc, doc.buttonCount);
    for (;;) {
        parser.parseLine(line_);
        if (atEnd()) return false;
        nextLine();
        if (line_ == kMessageHeader) return true;
    }
}

void TestLoader::load(ByteSource& source, TestDocument& doc, LoadDestination& destination) {
    line_.clear();
    ioCheck(file_.open(source));
    // Whatever way the load ends, the file is closed and a buffer grown for a
    // long line is given back.
    struct Finish {
        TestLoader& loader;
        ~Finish() {
            if (loader.file_.isOpen()) loader.file_.close();
            if (loader.line_.capacity() > kSpareTextCapacity) std::string().swap(loader.line_);
        }
    } finish{*this};
    if (file_.size() > kMaxTestFileBytes) {
        refuse("Файл слишком велик для теста: в нём больше " +
               std::to_string(kMaxTestFileBytes >> 20) + " МБ, а тест не бывает таким большим");
    }
    readHeader(doc, destination);
    const std::int32_t mode = doc.variantMode;

    nextLine();  // "Questions:"
    for (int q = 1; q <= doc.questionCount; ++q) {
        nextLine();
        doc.takeText(q, line_);
    }
    nextLine();  // the variants header line; the Info line alone decides the layout
    readVariants(doc, mode, destination);
    destination.variantsRead();

    nextLine();  // "Numbers:"
    destination.messagesBegin();
    if (readPoints(doc)) {
        while (!atEnd()) {
            nextLine();
            destination.messageRead(line_);
        }
    }
    ioCheck(file_.close());
    destination.loadFinished();
}

}  // namespace qv
