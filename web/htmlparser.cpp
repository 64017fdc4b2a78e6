#include "web/htmlparser.h"

#include <gumbo.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <time.h>
#include <vector>

namespace veltrop {
namespace {

constexpr std::size_t alignment = alignof(std::max_align_t);

constexpr std::size_t roundUp(std::size_t n)
{
    return (n + alignment - 1) & ~(alignment - 1);
}

struct ArenaBlock {
    ArenaBlock* next;
    std::size_t capacity;
};

constexpr std::size_t blockHeaderSize = roundUp(sizeof(ArenaBlock));
constexpr std::size_t blockCapacity = std::size_t{1} << 20;

// Blocks of the last parse on this thread, kept for the next one: a page
// needs one or two of them, and taking fresh ones from malloc every time made
// the heap grow and shrink with each page, every page of the arena faulting
// in anew (a tenth of the time of a page of tables).
class BlockCache {
public:
    ~BlockCache()
    {
        while (ArenaBlock* block = take())
            std::free(block);
    }

    ArenaBlock* take()
    {
        ArenaBlock* block = kept_;
        if (block) {
            kept_ = block->next;
            --count_;
        }
        return block;
    }

    // Keeps a standard block unless enough are kept already.
    void give(ArenaBlock* block)
    {
        if (block->capacity != blockCapacity || count_ == maxKept) {
            std::free(block);
            return;
        }
        block->next = kept_;
        kept_ = block;
        ++count_;
    }

private:
    static constexpr int maxKept = 2;
    ArenaBlock* kept_ = nullptr;
    int count_ = 0;
};

thread_local BlockCache blockCache;

long long clockNanoseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// gumbo 0.10.1 frees its tree recursively and overflows the stack on a deeply
// nested page (about 100k levels), and its tree building is quadratic in the
// nesting depth (20k nested <div> already take most of a second). So the
// parser gets this arena: nothing is freed one by one, the whole tree goes in
// one step, and the allocation hook, which the parser calls at least once per
// tag, abandons a parse that overruns its processor-time budget. Leaving the
// parser by longjmp is safe because it holds nothing but arena memory, and no
// C++ object with a destructor lives between the setjmp and the longjmp.
class ParseArena {
public:
    ParseArena()
        : cpuDeadline_(clockNanoseconds(CLOCK_THREAD_CPUTIME_ID) + parseBudgetMilliseconds * 1'000'000LL),
          nextCpuCheck_(clockNanoseconds(CLOCK_MONOTONIC) + parseBudgetMilliseconds * 1'000'000LL)
    {
    }
    ~ParseArena()
    {
        while (blocks_) {
            ArenaBlock* next = blocks_->next;
            blockCache.give(blocks_);
            blocks_ = next;
        }
    }
    ParseArena(const ParseArena&) = delete;
    ParseArena& operator=(const ParseArena&) = delete;

    std::jmp_buf bailout;

    void* allocate(std::size_t size)
    {
        if (++allocationsSinceCheck_ == checkInterval) {
            allocationsSinceCheck_ = 0;
            checkBudget();
        }
        size = roundUp(std::max<std::size_t>(size, 1));
        if (size > left_)
            newBlock(size);
        void* result = cursor_;
        cursor_ += size;
        left_ -= size;
        return result;
    }

private:
    static constexpr unsigned checkInterval = 256;

    // A thread's processor time never runs ahead of the wall clock, so the
    // budget cannot be spent before the wall clock has gone as far as the
    // budget left: the processor clock, a system call, is read only then,
    // and the cheap wall clock the rest of the time.
    void checkBudget()
    {
        const long long wall = clockNanoseconds(CLOCK_MONOTONIC);
        if (wall < nextCpuCheck_)
            return;
        const long long left = cpuDeadline_ - clockNanoseconds(CLOCK_THREAD_CPUTIME_ID);
        if (left <= 0)
            std::longjmp(bailout, 1);
        nextCpuCheck_ = wall + left;
    }

    void newBlock(std::size_t size)
    {
        ArenaBlock* block = size <= blockCapacity ? blockCache.take() : nullptr;
        if (!block) {
            const std::size_t capacity = std::max(size, blockCapacity);
            block = static_cast<ArenaBlock*>(std::malloc(blockHeaderSize + capacity));
            if (!block)
                std::longjmp(bailout, 1);
            block->capacity = capacity;
        }
        block->next = blocks_;
        blocks_ = block;
        cursor_ = reinterpret_cast<char*>(block) + blockHeaderSize;
        left_ = block->capacity;
    }

    const long long cpuDeadline_;
    long long nextCpuCheck_;
    unsigned allocationsSinceCheck_ = 0;
    ArenaBlock* blocks_ = nullptr;
    char* cursor_ = nullptr;
    std::size_t left_ = 0;
};

void* arenaAllocate(void* userdata, std::size_t size)
{
    return static_cast<ParseArena*>(userdata)->allocate(size);
}

void arenaRelease(void*, void*) {}

// Nothing with a destructor may live in this frame: a longjmp from the arena
// lands in it.
GumboOutput* parseInArena(ParseArena& arena, const GumboOptions& options, std::string_view html)
{
    if (setjmp(arena.bailout) != 0)
        return nullptr;
    return gumbo_parse_with_options(&options, html.data(), html.size());
}

const GumboNode* asNode(const void* node)
{
    return static_cast<const GumboNode*>(node);
}

const GumboVector& childrenOf(const GumboNode* node)
{
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

bool isHiddenTag(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
        return true;
    default:
        return false;
    }
}

bool isBlockTag(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_UL:
        return true;
    default:
        return false;
    }
}

void walk(const GumboNode* document, HtmlVisitor& visitor)
{
    struct Frame {
        const GumboNode* node;
        unsigned int next;
    };
    std::vector<Frame> open{{document, 0}};
    while (!open.empty()) {
        Frame& top = open.back();
        const GumboVector& children = childrenOf(top.node);
        if (top.next == children.length) {
            const GumboNode* finished = top.node;
            open.pop_back();
            if (finished->type != GUMBO_NODE_DOCUMENT)
                visitor.leaveElement(HtmlElement(finished));
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
        switch (child->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            if (visitor.enterElement(HtmlElement(child)))
                open.push_back({child, 0});
            break;
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            visitor.text(child->v.text.text);
            break;
        default:
            break;
        }
    }
}

} // namespace

ElementKind HtmlElement::kind() const
{
    const GumboElement& element = asNode(node_)->v.element;
    if (isHiddenTag(element.tag))
        return ElementKind::Hidden;
    // A <table> or <a> inside SVG or MathML is not the HTML element.
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return ElementKind::Inline;
    switch (element.tag) {
    case GUMBO_TAG_TABLE:
        return ElementKind::Table;
    case GUMBO_TAG_TR:
        return ElementKind::Row;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        return ElementKind::Cell;
    case GUMBO_TAG_A:
        return ElementKind::Link;
    case GUMBO_TAG_BASE:
        return ElementKind::Base;
    case GUMBO_TAG_BR:
        return ElementKind::LineBreak;
    default:
        return isBlockTag(element.tag) ? ElementKind::Block : ElementKind::Inline;
    }
}

std::optional<std::string_view> HtmlElement::attribute(const char* name) const
{
    const GumboAttribute* found = gumbo_get_attribute(&asNode(node_)->v.element.attributes, name);
    if (!found)
        return std::nullopt;
    return std::string_view(found->value);
}

bool parseHtml(std::string_view html, HtmlVisitor& visitor)
{
    if (static_cast<std::size_t>(std::count(html.begin(), html.end(), '<')) > maxPageTags)
        return false;

    ParseArena arena;
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = arenaAllocate;
    options.deallocator = arenaRelease;
    options.userdata = &arena;
    // Errors are only collected, never read; a broken page would otherwise
    // record one per tag.
    options.max_errors = 8;

    const GumboOutput* output = parseInArena(arena, options, html);
    if (!output)
        return false;
    walk(output->document, visitor);
    return true;
}

} // namespace veltrop
