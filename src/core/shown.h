// The parts of the desktop's state its windows show, which the session's
// `onChange` tells as they change.
#pragma once

namespace qv {

// The parts of the state a window shows; `onChange` receives them or-ed together.
enum Shown : unsigned {
    kEditorHeader = 1u << 0,    // title, author line, window caption, captions, variant mode
    kEditorButtons = 1u << 1,   // the button-count text and which fields take part
    kEditorQuestion = 1u << 2,  // the question fields, its number and the back and next buttons
    kEditorMessages = 1u << 3,  // the message field
    kTestTitle = 1u << 4,       // the test window's title, author line and caption
    kTestButtons = 1u << 5,     // its answer buttons: captions, which are shown, enabled
    kTestQuestion = 1u << 6,    // its question text
    kTestVariants = 1u << 7,    // its variant texts
    kRunReady = 1u << 8,        // a run's first question is up
};

}  // namespace qv
