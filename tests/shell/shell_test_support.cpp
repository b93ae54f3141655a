#include "shell_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "simulator.h"

namespace tarvo::shell::test_support {

void EnsureApplication() {
    if (QApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarvo_shell_tests";
    static char* argv[] = {name, nullptr};
    // Kept for the whole process: tearing Qt down during static destruction
    // is not worth the risk.
    static QApplication* application = new QApplication(argc, argv);
    // Closing a test's dialog must not end the application.
    application->setQuitOnLastWindowClosed(false);
    // The program's settings go to a folder of this process, never the
    // user's: what one test chooses reaches no other run.
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

std::optional<std::string> ScriptedPicker::PickOpen(const PickerRequest& request) {
    openRequests.push_back(request);
    if (openAnswers.empty()) return std::nullopt;
    auto answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedPicker::PickSave(const PickerRequest& request) {
    saveRequests.push_back(request);
    if (saveAnswers.empty()) return std::nullopt;
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find("\r\n", begin);
        if (end == std::string::npos) {
            ADD_FAILURE() << "text does not end with CR LF: " << text.substr(begin);
            lines.push_back(text.substr(begin));
            break;
        }
        const std::string line = text.substr(begin, end - begin);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line end in " << line;
        lines.push_back(line);
        begin = end + 2;
    }
    return lines;
}

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::AlternateBase, QColor(40, 40, 40));
    dark.setColor(QPalette::Text, QColor(235, 235, 235));
    dark.setColor(QPalette::Button, QColor(60, 60, 64));
    dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(QPalette::Disabled, role, QColor(130, 130, 130));
    }
    return dark;
}

DarkTheme::DarkTheme() : saved_(QApplication::palette()) {
    QApplication::setPalette(DarkPalette());
}

DarkTheme::~DarkTheme() { QApplication::setPalette(saved_); }

double Contrast(const QColor& first, const QColor& second) {
    auto luminance = [](const QColor& colour) {
        auto linear = [](double channel) {
            return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double a = luminance(first), b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

Ink InkIn(const QImage& image, const QRect& region, const QColor& background) {
    auto Brightness = [](QRgb pixel) { return qRed(pixel) + qGreen(pixel) + qBlue(pixel); };
    Ink ink;
    const int ground = Brightness(background.rgb());
    const QRect inside = region.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const int here = Brightness(image.pixel(x, y));
            ink.darker += here < ground - 150;
            ink.lighter += here > ground + 30;
        }
    }
    return ink;
}

void WriteSampleResponses(const std::string& path, int personCount, int itemCount, unsigned seed) {
    sim::Random random(seed);
    const auto items =
        sim::DrawItems(random, static_cast<std::size_t>(itemCount), sim::ItemModel::ThreePL);
    const auto theta = sim::DrawAbilities(random, static_cast<std::size_t>(personCount));
    const auto codes = sim::DrawResponses(random, theta, items);

    std::ostringstream file;
    for (int j = 0; j < personCount; ++j) {
        char front[32];
        std::snprintf(front, sizeof front, "P%07d   %7.3f ", j + 1,
                      theta[static_cast<std::size_t>(j)]);
        file << front;
        for (int i = 0; i < itemCount; ++i) {
            file << static_cast<char>('0' + codes[static_cast<std::size_t>(j * itemCount + i)]);
        }
        file << "\r\n";
    }
    WriteFileBytes(path, file.str());
}

}  // namespace tarvo::shell::test_support
