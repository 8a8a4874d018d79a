#pragma once

#include "ui/about_dialog.h"
#include "ui/analyze_dialog.h"
#include "ui/main_window.h"
#include "ui/trash_list_view.h"

namespace varnelo::test {

// The three forms as start-up makes them, over the test's trash.
struct Program {
    TForm1 form;
    TfrmAbout about{"https://varnelo.example.org/support", &form};
    TfrmAnalyze analyze{&form};
    Program() {
        form.SetDialogs(&about, &analyze);
        form.show();
    }
    TrashListView& list() { return *form.ShellListView1; }
};

}  // namespace varnelo::test
