#pragma once

#include <QString>

// The small text fragments every generated file is made of, spelled once so
// that the generators agree. Stateless: the same arguments always give the
// same text, the banner's date and time aside.
class GenFunctions
{
public:
    GenFunctions() = default;

    QString fileBanner() const;
    // The same banner as a CMake and as a Markdown comment, for the files of
    // the application scaffold; the date stands where it does in C++.
    QString cmakeBanner() const;
    QString markdownBanner() const;
    // The banner's first line, by which a generated file is known.
    static QString bannerFirstLine();
    // Whether `line` (without its end) is the first line of one of the
    // banners.
    static bool isBannerFirstLine(const QString &line);
    // `text` with the banner's date and time blanked out: two runs over the
    // same schema then give equal texts.
    static QString withoutBannerDate(const QString &text);
    QString includeGuardBegin(const QString &name) const;
    QString includeGuardEnd(const QString &name) const;
    QString includeSystem(const QString &path) const;
    QString includeLocal(const QString &path) const;
    QString namespaceBegin(const QString &name) const;
    QString namespaceEnd(const QString &name) const;
    QString qObjectMacro() const;
    QString publicSection() const;
    QString protectedSection() const;
    QString privateSection() const;
    QString classEnd() const;
    QString blockBegin() const;
    QString blockEnd() const;
    QString constructorDeclaration(const QString &className, const QString &parameters) const;
    QString constructorHead(const QString &className, const QString &parameters) const;
    QString methodDeclaration(const QString &returnType, const QString &methodName,
                              const QString &parameters) const;
    QString constMethodDeclaration(const QString &returnType, const QString &methodName,
                                   const QString &parameters) const;
    QString methodHead(const QString &returnType, const QString &className,
                       const QString &methodName, const QString &parameters) const;
    QString constMethodHead(const QString &returnType, const QString &className,
                            const QString &methodName, const QString &parameters) const;
    QString memberDeclaration(const QString &type, const QString &name, bool pointer) const;
    QString propertyDeclaration(const QString &type, const QString &name, const QString &getter,
                                const QString &setter) const;
};
