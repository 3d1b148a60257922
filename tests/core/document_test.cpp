// The test document: its limits and the clearing when the editor is closed.
#include <gtest/gtest.h>

#include <stdexcept>

#include "document.h"

namespace {

TEST(TestDocument, VariantsKeepTheirFirst80Bytes) {
    qv::TestDocument doc;
    doc.setVariant(1, 1, std::string(100, 'v'));
    doc.setVariant(500, 6, std::string(80, 'w'));
    EXPECT_EQ(doc.variant(1, 1), std::string(80, 'v'));
    EXPECT_EQ(doc.variant(500, 6), std::string(80, 'w'));
    doc.setText(2, std::string(1000, 't'));  // question texts have no limit
    EXPECT_EQ(doc.text(2).size(), 1000u);
}

TEST(TestDocument, NothingIsStoredOutsideTheLimits) {
    qv::TestDocument doc;
    EXPECT_THROW(doc.setText(0, "x"), std::out_of_range);
    EXPECT_THROW(doc.setText(501, "x"), std::out_of_range);
    EXPECT_THROW(doc.setVariant(1, 7, "x"), std::out_of_range);
    EXPECT_THROW(doc.setPoints(1, 0, "x"), std::out_of_range);
    EXPECT_THROW((void)doc.points(501, 1), std::out_of_range);
}

TEST(TestDocument, ClosingTheEditorClearsOnlyTheQuestionsInUse) {
    qv::TestDocument doc;
    for (int q = 1; q <= 4; ++q) {
        doc.setText(q, "text");
        for (int b = 1; b <= 6; ++b) {
            doc.setVariant(q, b, "variant");
            doc.setPoints(q, b, "1");
        }
    }
    doc.questionCount = 3;
    doc.currentQuestion = 2;
    doc.buttonCount = doc.activeButtonCount = 6;
    doc.variantMode = 2;
    doc.clearQuestions();
    for (int q = 1; q <= 3; ++q) {
        EXPECT_EQ(doc.text(q), "");
        for (int b = 1; b <= 6; ++b) {
            EXPECT_EQ(doc.variant(q, b), "");
            EXPECT_EQ(doc.points(q, b), "");
        }
    }
    EXPECT_EQ(doc.text(4), "text");
    EXPECT_EQ(doc.variant(4, 6), "variant");
    EXPECT_EQ(doc.points(4, 1), "1");
    EXPECT_EQ(doc.questionCount, 3);
    EXPECT_EQ(doc.currentQuestion, 2);
    EXPECT_EQ(doc.variantMode, 2);
}

}  // namespace
