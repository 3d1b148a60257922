#include "core_support.h"

namespace qvtest {

std::string workedExamplePath() {
    return std::string(QV_TEST_DATA_DIR) + "/worked_example.tst";
}

std::string workedExampleBytes() {
    const std::string bytes = readBytes(workedExamplePath());
    if (bytes.empty())
        throw std::runtime_error("the worked example is missing: " + workedExamplePath());
    return bytes;
}

std::vector<std::string> workedExampleLines() {
    const std::string bytes = workedExampleBytes();
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", start);
        lines.push_back(bytes.substr(start, end - start));
        start = end == std::string::npos ? bytes.size() : end + 2;
    }
    return lines;
}

std::vector<std::string> oneQuestionTestHead() {
    return {ruf("Info=(1^E2^E1)"),
            ruf("Title=(T^EA^EC)"),
            ruf("Buttons=(Y^EN)"),
            "Questions:",
            "Q",
            "Variants: none",
            "Numbers:",
            "0,1,",
            "Message:"};
}

}  // namespace qvtest
