#include "cli/passwordprompt.h"

#include <cstdio>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace {

bool readLine(FILE *in, std::string *line)
{
    line->clear();
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        line->push_back(char(c));
    return c != EOF || !line->empty();
}

} // namespace

QString promptForPassword(const QString &prompt, bool *ok)
{
    std::string line;
    FILE *tty = std::fopen("/dev/tty", "r+");
    if (!tty) {
        *ok = readLine(stdin, &line);
        return QString::fromLocal8Bit(line.c_str());
    }

    std::fputs(prompt.toLocal8Bit().constData(), tty);
    std::fflush(tty);
    const int fd = fileno(tty);
    termios saved {};
    const bool haveTerminal = tcgetattr(fd, &saved) == 0;
    if (haveTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    *ok = readLine(tty, &line);
    if (haveTerminal)
        tcsetattr(fd, TCSAFLUSH, &saved);
    std::fputs("\n", tty);
    std::fclose(tty);
    return QString::fromLocal8Bit(line.c_str());
}
