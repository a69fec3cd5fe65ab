#include "html_to_text.h"
#include "mime_test_support.h"

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using test::PrintTo;

struct HtmlRow {
    const char* name;
    const char* html;
    const char* text;
};

class HtmlLayout : public testing::TestWithParam<HtmlRow> {};

TEST_P(HtmlLayout, GivesTheReadableText) {
    EXPECT_EQ(htmlToText(QString::fromUtf8(GetParam().html)).toStdString(),
              std::string(GetParam().text));
}

// Fed one character at a time, the document gives the same text.
TEST_P(HtmlLayout, PiecesGiveTheSameTextAsTheWhole) {
    const QString html = QString::fromUtf8(GetParam().html);
    QString text;
    HtmlTextExtractor extractor([&](QStringView piece) { text += piece; });
    for (qsizetype i = 0; i < html.size(); ++i)
        extractor.feed(QStringView(html).sliced(i, 1));
    extractor.finish();
    EXPECT_EQ(text.toStdString(), std::string(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HtmlLayout,
    testing::Values(
        HtmlRow{"blocks_and_breaks", "<p>one</p><div>two<br>three</div><ul><li>a<li>b</ul>",
                "one\ntwo\nthree\na\nb"},
        HtmlRow{"blanks_collapse", "<p>  many   \n blanks\t here </p>", "many blanks here"},
        HtmlRow{"at_most_one_empty_line", "a<br><br><br><br>b", "a\n\nb"},
        HtmlRow{"entities", "<p>A &amp; B &lt; C &#x65E5;&nbsp;&copy;</p>", "A & B < C 日 ©"},
        HtmlRow{"hidden_parts_skipped",
                "<html><head><title>t</title><style>p{}</style></head><body>"
                "<script>alert('<p>x</p>')</script><p>seen</p><noscript>no</noscript></body>",
                "seen"},
        HtmlRow{"preformatted_kept", "<p>before</p><pre>  a  b\n   c</pre><p>after</p>",
                "before\n  a  b\n   c\nafter"},
        HtmlRow{"table_cells", "<table><tr><td>1</td><td>2</td></tr><tr><td>3</td></tr></table>",
                "1 2\n3"},
        HtmlRow{"meta_charset_ignored",
                "<html><head><meta charset=\"shift_jis\"></head><body>日本語</body></html>",
                "日本語"},
        HtmlRow{"ideographic_space_kept", "<p>　字下げ</p>", "　字下げ"},
        HtmlRow{"broken_markup", "<p>open <b>bold <i>both</p> tail <", "open bold both\ntail"}),
    test::RowName{});

TEST(HtmlLayout, NestingHasNoDepthLimit) {
    QString html;
    for (int i = 0; i < 100000; ++i)
        html += QStringLiteral("<div><span>");
    html += QStringLiteral("deepest");
    for (int i = 0; i < 100000; ++i)
        html += QStringLiteral("</span></div>");
    html += QStringLiteral("<p>after</p>");
    EXPECT_EQ(htmlToText(html), QStringLiteral("deepest\nafter"));
}

}  // namespace
}  // namespace orvane::mail
