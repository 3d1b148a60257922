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

void TestLoader::Nextln() {
    ioCheck(file_.readLine(LineBuffer));
    // The line is handed on by swapping: a buffer grown for a long line is
    // not handed on with a short one.
    if (LineBuffer.capacity() > LineBuffer.size() + kSpareTextCapacity) LineBuffer.shrink_to_fit();
}

void TestLoader::dmassiv() {
    LineFields_ = splitFields(LineBuffer);
}

bool TestLoader::atEnd() {
    bool end = true;
    ioCheck(file_.atEnd(end));
    return end;
}

void TestLoader::readHeader(TestDocument& doc, LoadDestination& destination) {
    Nextln();
    dmassiv();
    const std::int32_t questions = strToInt(LineFields_[0]);
    if (questions < 0 || questions > kMaxQuestions) {
        refuse("В файле теста указано вопросов: " + std::to_string(questions) +
               ". Тест может содержать от 0 до 500 вопросов");
    }
    doc.questionCount = questions;
    const std::int32_t buttons = strToInt(LineFields_[1]);
    if (buttons < 1 || buttons > kMaxButtons) {
        refuse("В файле теста указано кнопок: " + std::to_string(buttons) +
               ". Тест может иметь от 1 до 6 кнопок");
    }
    doc.buttonCount = buttons;
    destination.buttonCountRead(LineFields_[1]);
    doc.variantMode = strToInt(LineFields_[2]);
    destination.variantModeRead(doc.variantMode);

    Nextln();
    dmassiv();
    destination.titleRead(LineFields_[0], LineFields_[1], LineFields_[2]);

    Nextln();
    dmassiv();
    destination.buttonsRead(LineFields_);
}

void TestLoader::readVariants(TestDocument& doc, std::int32_t mode, LoadDestination& destination) {
    const int questions = doc.questionCount;
    const int buttons = doc.buttonCount;
    if (mode == kNoVariants) {
        for (int q = 1; q <= questions; ++q)
            for (int b = 1; b <= buttons; ++b) doc.setVariant(q, b, {});
    } else if (mode == kFirstQuestionVariants) {
        for (int b = 1; b <= buttons; ++b) {
            Nextln();
            destination.variantRead(1, b, LineBuffer);
            doc.setVariant(1, b, LineBuffer);
        }
        for (int q = 2; q <= questions; ++q)
            for (int b = 1; b <= buttons; ++b) doc.setVariant(q, b, doc.variant(1, b));
    } else {
        for (int q = 1; q <= questions; ++q) {
            for (int b = 1; b <= buttons; ++b) {
                Nextln();
                destination.variantRead(q, b, LineBuffer);
                doc.setVariant(q, b, LineBuffer);
            }
        }
    }
}

bool TestLoader::readPoints(TestDocument& doc) {
    Nextln();  // the first points line
    // A test without questions has no points line: its "Message:" line
    // follows "Numbers:" directly and is taken as the message header.
    if (doc.questionCount < 1 && LineBuffer == kMessageHeader) return true;
    PointsParser parser(doc, doc.buttonCount);
    for (;;) {
        parser.parseLine(LineBuffer);
        if (atEnd()) return false;
        Nextln();
        if (LineBuffer == kMessageHeader) return true;
    }
}

void TestLoader::load(const std::string& path, TestDocument& doc, LoadDestination& destination) {
    LineBuffer.clear();
    ioCheck(file_.open(path));
    // Whatever way the load ends, the file is closed and a buffer grown for a
    // long line is given back.
    struct Finish {
        TestLoader& loader;
        ~Finish() {
            if (loader.file_.isOpen()) loader.file_.close();
            if (loader.LineBuffer.capacity() > kSpareTextCapacity)
                std::string().swap(loader.LineBuffer);
        }
    } finish{*this};
    if (file_.size() > kMaxTestFileBytes) {
        refuse("Файл слишком велик для теста: в нём больше " +
               std::to_string(kMaxTestFileBytes >> 20) + " МБ, а тест не бывает таким большим");
    }
    readHeader(doc, destination);
    const std::int32_t mode = doc.variantMode;

    Nextln();  // "Questions:"
    for (int q = 1; q <= doc.questionCount; ++q) {
        Nextln();
        doc.takeText(q, LineBuffer);
    }
    Nextln();  // the variants header line; the Info line alone decides the layout
    readVariants(doc, mode, destination);
    destination.variantsRead();

    Nextln();  // "Numbers:"
    destination.messagesBegin();
    if (readPoints(doc)) {
        while (!atEnd()) {
            Nextln();
            destination.messageRead(LineBuffer);
        }
    }
    ioCheck(file_.close());
    destination.loadFinished();
}

}  // namespace qv
