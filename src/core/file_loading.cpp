#include "file_loading.h"

#include "file_source.h"

namespace qv {

void loadTestFile(TestLoader& loader, const std::string& path, TestDocument& doc,
                  LoadDestination& destination) {
    FileSource file(path);
    loader.load(file, doc, destination);
}

std::shared_ptr<const RunTest> readRunTest(const std::string& path) {
    FileSource file(path);
    return readRunTest(file);
}

CheckReport checkTest(const std::string& path) {
    FileSource forLoading(path);
    FileSource forLines(path);
    return checkTest(forLoading, forLines);
}

}  // namespace qv
