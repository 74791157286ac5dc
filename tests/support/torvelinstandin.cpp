// Stands in for the branch program in tests: notes how it was started, beside itself.
//   gestartet.txt      its arguments, one a line
//   gestartet-wie.txt  the working directory and, on Windows, the raw command line and the window state
// Each file is written under another name and renamed, so a reader never sees half of it.
#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

void writeWhole(const fs::path &path, const std::string &content)
{
    const fs::path temporary = fs::path(path).concat(".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
    }
    fs::rename(temporary, path);
}

std::string utf8(const fs::path &path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::string howStarted()
{
    std::string text = "cwd=" + utf8(fs::current_path()) + "\n";
#ifdef _WIN32
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    text += "show=" + std::to_string(show) + "\n";
    text += "cmdline=" + utf8(fs::path(GetCommandLineW())) + "\n";
#endif
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    const fs::path directory = fs::absolute(fs::path(argv[0])).parent_path();
    std::string arguments;
    for (int i = 1; i < argc; ++i)
        arguments += std::string(argv[i]) + "\n";
    writeWhole(directory / "gestartet-wie.txt", howStarted());
    writeWhole(directory / "gestartet.txt", arguments);
    return 0;
}
