#include "app/window/cpphighlighter.h"

namespace {

enum BlockState {
    Code = 0,
    InComment = 1
};

QTextCharFormat textFormat(const QColor &colour, bool bold = false, bool italic = false)
{
    QTextCharFormat format;
    format.setForeground(colour);
    if (bold)
        format.setFontWeight(QFont::Bold);
    format.setFontItalic(italic);
    return format;
}

} // namespace

CppHighlighter::CppHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document)
    , m_comment(textFormat(QColor(0x6a, 0x73, 0x7d), false, true))
    , m_preprocessor(textFormat(QColor(0x8b, 0x3a, 0x8b)))
{
    static const char *const keywords[] = {
        "alignas", "auto", "bool", "break", "case", "catch", "char", "class", "const", "constexpr",
        "continue", "default", "delete", "do", "double", "else", "enum", "explicit", "extern", "false",
        "float", "for", "friend", "if", "inline", "int", "long", "namespace", "new", "nullptr",
        "operator", "override", "private", "protected", "public", "return", "short", "signed", "sizeof",
        "static", "static_cast", "struct", "switch", "template", "this", "throw", "true", "try",
        "typedef", "typename", "unsigned", "using", "virtual", "void", "volatile", "while",
        "Q_OBJECT", "Q_PROPERTY", "Q_ENUMS", "Q_INVOKABLE", "signals", "slots", "emit"};
    QStringList words;
    for (const char *keyword : keywords)
        words.append(QLatin1String(keyword));
    m_rules.append({QRegularExpression(QStringLiteral("\\b(?:%1)\\b").arg(words.join(QLatin1Char('|')))),
                    textFormat(QColor(0x00, 0x33, 0x99), true)});
    m_rules.append({QRegularExpression(QStringLiteral("\\b\\d+(?:\\.\\d+)?\\b")), textFormat(QColor(0x09, 0x86, 0x58))});
    m_rules.append({QRegularExpression(QStringLiteral("\"(?:[^\"\\\\]|\\\\.)*\"|'(?:[^'\\\\]|\\\\.)*'")),
                    textFormat(QColor(0xa3, 0x15, 0x15))});
}

void CppHighlighter::highlightBlock(const QString &text)
{
    setCurrentBlockState(Code);
    if (text.trimmed().startsWith(QLatin1Char('#'))) {
        setFormat(0, int(text.size()), m_preprocessor);
    } else {
        for (const Rule &rule : std::as_const(m_rules)) {
            auto matches = rule.pattern.globalMatch(text);
            while (matches.hasNext()) {
                const QRegularExpressionMatch match = matches.next();
                setFormat(int(match.capturedStart()), int(match.capturedLength()), rule.format);
            }
        }
    }

    // Comments last: they win over what looks like code inside them. A
    // comment marker inside a string literal is taken as one; generated code
    // has none.
    qsizetype start = previousBlockState() == InComment ? 0 : -1;
    qsizetype from = 0;
    while (true) {
        if (start < 0) {
            const qsizetype block = text.indexOf(QLatin1String("/*"), from);
            const qsizetype line = text.indexOf(QLatin1String("//"), from);
            if (line >= 0 && (block < 0 || line < block)) {
                setFormat(int(line), int(text.size() - line), m_comment);
                return;
            }
            if (block < 0)
                return;
            start = block;
            from = block + 2;
        }
        const qsizetype end = text.indexOf(QLatin1String("*/"), from);
        if (end < 0) {
            setFormat(int(start), int(text.size() - start), m_comment);
            setCurrentBlockState(InComment);
            return;
        }
        setFormat(int(start), int(end + 2 - start), m_comment);
        from = end + 2;
        start = -1;
    }
}
