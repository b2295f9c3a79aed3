// Helpers of the window tests: mouse events at screen points and golden
// pictures.
#pragma once

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// A left-button press, move (button held) or release at a screen point,
// sent to Target as the window system would after the press grabbed it.
inline void SendMouse(QWidget* Target, QEvent::Type Type, const QPoint& Global)
{
    const QPointF Local = Target->mapFromGlobal(QPointF(Global));
    const Qt::MouseButton Button = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent E(Type, Local, QPointF(Global), Button, Held, Qt::NoModifier);
    QApplication::sendEvent(Target, &E);
}

// Compares Image with the PNG at Name under the test data folder, each
// channel within 8; at most MaxDifferent pixels may differ. With the
// variable WriteEnv set the picture is written instead (look at it before
// keeping it).
inline void ExpectMatchesGolden(const QImage& Image, const std::string& Name, const char* WriteEnv,
                                int MaxDifferent = 4)
{
    const std::string Golden = std::string(TAVRO_TEST_DATA_DIR) + "/" + Name;
    if (const char* Write = std::getenv(WriteEnv); Write && *Write) {
        std::filesystem::create_directories(std::filesystem::path(Golden).parent_path());
        ASSERT_TRUE(Image.save(QString::fromStdString(Golden)));
        return;
    }
    const QImage Expected(QString::fromStdString(Golden));
    ASSERT_EQ(Expected.size(), Image.size()) << Golden;
    int Different = 0;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X) {
            const QRgb A = Image.pixel(X, Y);
            const QRgb B = Expected.pixel(X, Y);
            Different += std::abs(qRed(A) - qRed(B)) > 8 || std::abs(qGreen(A) - qGreen(B)) > 8 ||
                         std::abs(qBlue(A) - qBlue(B)) > 8;
        }
    EXPECT_LE(Different, MaxDifferent) << Golden;
}
