// Reading a test into the document from a byte source (a file for the
// desktop program, the bytes it was handed for the page's player; the
// desktop's calls by path are in file_loading.h). The loader owns the order of
// reading; what differs between opening a test for editing and for a run
// (and for the check and the read-back of a save) is handed to a
// LoadDestination, which each of them implements.
#pragma once

#include <string>

#include "byte_source.h"
#include "document.h"
#include "format.h"
#include "text_reader.h"

namespace qv {

class LoadDestination {
  public:
    virtual ~LoadDestination() = default;
    // The button-count field of the Info line, unchanged (it goes into the
    // editor's button-count box in both uses).
    virtual void buttonCountRead(const std::string& text) = 0;
    // The variant mode of the Info line, after the document has taken it.
    virtual void variantModeRead(std::int32_t /*mode*/) {}
    virtual void titleRead(const std::string& title, const std::string& author,
                           const std::string& windowCaption) = 0;
    // All six captions; those the Buttons line lacks are empty.
    virtual void buttonsRead(const LineFields& captions) = 0;
    // A variant line as the file has it, before it is cut to its 80 bytes.
    virtual void variantRead(int /*question*/, int /*button*/, const std::string& /*line*/) {}
    // The variants have been read.
    virtual void variantsRead() {}
    // The message section begins.
    virtual void messagesBegin() {}
    // A line of the message section; the destination may take its contents
    // (by swapping), leaving any string in its place.
    virtual void messageRead(std::string& line) = 0;
    // The whole file has been read and closed.
    virtual void loadFinished() = 0;
};

// No test comes near this size; a larger file is refused before it is read.
inline constexpr std::uint64_t kMaxTestFileBytes = std::uint64_t{256} << 20;

class TestLoader {
  public:
    // Opens `source` and reads the test in it into `doc`, handing the
    // header, the message section and the milestones to `destination`; the
    // source is closed however the load ends. Raises EInOutError (a source
    // that does not open raises it before anything is stored),
    // EConvertError, or an Exception for counts the document has no room for;
    // everything stored before a failure stays.
    void load(ByteSource& source, TestDocument& doc, LoadDestination& destination);

    // The number of bytes of the test the last load opened.
    std::uint64_t lastFileSize() const { return file_.size(); }
    // The last line the last load read.
    const std::string& lastLine() const { return line_; }

  private:
    // Reads the next line of the open source into line_; past the end of the
    // file that is an empty line.
    void nextLine();
    // Splits line_ into fields_.
    void splitLine();
    bool atEnd();
    void readHeader(TestDocument& doc, LoadDestination& destination);
    void readVariants(TestDocument& doc, std::int32_t mode, LoadDestination& destination);
    // Returns false when the file ended before a "Message:" line.
    bool readPoints(TestDocument& doc);

    TextReader file_;
    std::string line_;
    LineFields fields_;
};

}  // namespace qv
