#pragma once
// Where every control of the window sits. Places and sizes are in twips
// (1/1440 inch): controls on the window from the top-left corner of its client
// area, controls on a tab page from the top-left corner of the tab control,
// tab strip included.
#include <span>
#include <string_view>

namespace veltrop::layout {

inline constexpr std::string_view windowCaption = "Pellamy's Veltrop v1.4";
inline constexpr int clientWidth = 7575;
inline constexpr int clientHeight = 4845;

// The tab control's pages.
enum Page { OnWindow = -1, ListsPage = 0, RanksPage, ResultsPage, OpinionPage, OptionsPage };
inline constexpr std::string_view tabCaptions[] = {"Lists...", "Ranks...", "Results...",
                                                   "Opinion...", "Options..."};

enum class Kind { TabControl, Button, Label, TextBox, RichTextBox, Grid, CheckBox };
enum class Align { Left, Centre, Right };

struct Control {
    std::string_view name;   // the control's name; check boxes "listBox" or "rankBox"
    int index;               // index in its control array, -1 for single controls
    Kind kind;
    Page page;
    int left, top, width, height;
    int tabOrder;
    std::string_view caption;  // caption or start text
    std::string_view tooltip;
    Align align = Align::Left;
};

std::span<const Control> controls();
// The control of that name (and index, for the check boxes); nullptr if none.
const Control* find(std::string_view name, int index = -1);


} // namespace veltrop::layout
