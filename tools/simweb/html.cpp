#include "tools/simweb/html.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace simweb {
namespace {

std::string openTag(std::string_view name, std::string_view attributes)
{
    std::string tag = "<" + std::string(name);
    if (!attributes.empty())
        tag += " " + std::string(attributes);
    return tag + ">";
}

int bannerTables(HtmlWriter& page, std::string_view site)
{
    page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=0 CELLSPACING=0 BGCOLOR="#003366")");
    page.row();
    page.cell("", "WIDTH=180");
    page.openTable("BORDER=0 CELLPADDING=6");
    page.row();
    page.cell(R"(<FONT FACE="Arial,Helvetica" SIZE=5 COLOR="#FFFFFF"><B>)" + escapeHtml(site) + "</B></FONT>");
    page.closeTable();
    page.cell(R"(<A HREF="/ads/click?id=468"><IMG SRC="/images/ad468x60.gif" WIDTH=468 HEIGHT=60 BORDER=0 ALT="Advertisement"></A>)",
              "ALIGN=right");
    page.closeTable();
    return 2;
}

int navigationTable(HtmlWriter& page)
{
    page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=3 CELLSPACING=0 BGCOLOR="#CCCCCC")");
    page.row();
    page.cell(R"(<FONT FACE="Arial" SIZE=-1><A HREF="/">Home</A> | <A HREF="/markets/">Markets</A> | )"
              R"(<A HREF="/quotes/">Quotes</A> | <A HREF="/portfolio/">Portfolio</A> | <A HREF="/help/">Help</A></FONT>)");
    page.closeTable();
    return 1;
}

int searchFormTable(HtmlWriter& page)
{
    page.openTable("BORDER=0 CELLPADDING=2");
    page.row();
    page.cell(R"(<FORM ACTION="/cgi-bin/lookup" METHOD=GET><FONT SIZE=-1>Symbol lookup:</FONT>&nbsp;)"
              R"(<INPUT TYPE=text NAME=symbol SIZE=8> <INPUT TYPE=submit VALUE="Go"></FORM>)");
    page.closeTable();
    return 1;
}

void menuBoxTables(HtmlWriter& page, int number)
{
    static constexpr std::array<std::pair<const char*, const char*>, 5> kMenus{{
        {"Market Tools", "Stock Screener"},
        {"Research", "Company Profiles"},
        {"News", "Earnings Calendar"},
        {"Your Account", "Sign In"},
        {"Community", "Message Boards"},
    }};
    const auto& [heading, link] = kMenus[static_cast<std::size_t>(number) % kMenus.size()];
    page.openTable(R"(BORDER=0 CELLPADDING=1 CELLSPACING=0 BGCOLOR="#000000")");
    page.row();
    page.cell("");
    page.openTable(R"(BORDER=0 CELLPADDING=3 CELLSPACING=0 WIDTH=150 BGCOLOR="#FFFFCC")");
    page.row();
    page.cell(std::string("<B>") + heading + "</B>");
    page.row();
    page.cell(R"(<A HREF="/tools/menu)" + std::to_string(number) + R"(.html">)" + link + "</A>");
    page.closeTable();
    page.closeTable();
}

void spacerTable(HtmlWriter& page)
{
    page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=0 CELLSPACING=0)");
    page.row();
    page.cell(R"(<IMG SRC="/images/pixel.gif" WIDTH=1 HEIGHT=8>)");
    page.closeTable();
}

// Windows-1252 bytes 0x80 to 0x9F, by the character each stands for; the
// rest of the code page is Latin-1.
constexpr std::array<std::pair<char32_t, unsigned char>, 27> kWindows1252High{{
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F},
}};

// Decodes one UTF-8 character at `i` and advances past it; U+FFFD for a bad sequence.
char32_t nextCodePoint(std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    const int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0)
        return 0xFFFD;
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return code;
}

} // namespace

HtmlWriter::HtmlWriter(std::string_view title, std::string_view metaCharset)
{
    out_ = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\n<HTML>\n<HEAD>\n";
    if (!metaCharset.empty())
        out_ += "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=" + std::string(metaCharset) + "\">\n";
    out_ += "<TITLE>" + escapeHtml(title) + "</TITLE>\n</HEAD>\n";
    out_ += "<BODY BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\" LINK=\"#0000CC\" VLINK=\"#663399\">\n";
}

int HtmlWriter::openTable(std::string_view attributes)
{
    out_ += openTag("TABLE", attributes) + "\n";
    return ++tables_;
}

void HtmlWriter::closeTable() { out_ += "</TABLE>\n"; }

void HtmlWriter::row(std::string_view attributes) { out_ += openTag("TR", attributes) + "\n"; }

void HtmlWriter::cell(std::string_view html, std::string_view attributes)
{
    out_ += openTag("TD", attributes) + std::string(html) + "\n";
}

void HtmlWriter::headCell(std::string_view html, std::string_view attributes)
{
    out_ += openTag("TH", attributes) + std::string(html) + "\n";
}

void HtmlWriter::raw(std::string_view html) { out_ += html; }

std::string HtmlWriter::finish()
{
    out_ += "</BODY>\n</HTML>\n";
    return std::move(out_);
}

void layoutTables(HtmlWriter& page, std::string_view site, int count)
{
    int written = 0;
    if (written + 2 <= count)
        written += bannerTables(page, site);
    if (written + 1 <= count)
        written += navigationTable(page);
    if (written + 1 <= count)
        written += searchFormTable(page);
    fillerTables(page, count - written);
}

void fillerTables(HtmlWriter& page, int count)
{
    for (; count >= 2; count -= 2)
        menuBoxTables(page, page.tables());
    if (count == 1)
        spacerTable(page);
}

void footerTable(HtmlWriter& page, std::string_view site)
{
    page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=4)");
    page.row();
    page.cell("<FONT SIZE=-2>Copyright &copy; 2000 " + escapeHtml(site)
                  + ". All rights reserved. Quotes delayed at least 20 minutes.</FONT>",
              "ALIGN=center");
    page.closeTable();
}

void expectTableNumber(int actual, int expected)
{
    if (actual != expected)
        throw std::logic_error("page layout: table " + std::to_string(actual) + " stands where table "
                               + std::to_string(expected) + " belongs");
}

std::string escapeHtml(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string toWindows1252(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t code = nextCodePoint(utf8, i);
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out += static_cast<char>(code);
            continue;
        }
        char replacement = '?';
        for (const auto& [character, byte] : kWindows1252High)
            if (character == code)
                replacement = static_cast<char>(byte);
        out += replacement;
    }
    return out;
}

std::string formatPrice(double price)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", price);
    return text;
}

std::string formatChange(double change)
{
    if (std::abs(change) < 0.005)
        return "0.00";
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f", change);
    return text;
}

std::string formatPercent(double change, double price)
{
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f%%", price > 0 ? 100.0 * change / price : 0.0);
    return text;
}

std::string formatVolume(std::int64_t volume)
{
    std::string digits = std::to_string(volume < 0 ? -volume : volume);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return volume < 0 ? "-" + digits : digits;
}

} // namespace simweb
