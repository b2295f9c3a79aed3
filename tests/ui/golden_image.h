// Golden pictures of the window tests: PNG files under tests/data/ui/ made by
// our own controls after a person looked at them. With TAVRO_GOLDEN_WRITE set
// the test writes the picture instead of comparing it.
#pragma once

#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// Pixels of Image whose channels differ from the golden Name by more than
// Tolerance must number at most MaxDifferent.
inline void ExpectMatchesGolden(const QImage& Image, const std::string& Name, int Tolerance = 8,
                                int MaxDifferent = 0)
{
    const std::string Golden = std::string(TAVRO_TEST_DATA_DIR) + "/ui/" + Name;
    const QImage Mine = Image.convertToFormat(QImage::Format_RGB32);
    const char* Write = std::getenv("TAVRO_GOLDEN_WRITE");
    if (Write && *Write) {
        std::filesystem::create_directories(std::filesystem::path(Golden).parent_path());
        ASSERT_TRUE(Mine.save(QString::fromStdString(Golden)));
        return;
    }
    const QImage Expected = QImage(QString::fromStdString(Golden)).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(Expected.size(), Mine.size()) << Golden;
    int Different = 0;
    for (int Y = 0; Y < Mine.height(); ++Y)
        for (int X = 0; X < Mine.width(); ++X) {
            const QRgb A = Mine.pixel(X, Y);
            const QRgb B = Expected.pixel(X, Y);
            Different += std::abs(qRed(A) - qRed(B)) > Tolerance || std::abs(qGreen(A) - qGreen(B)) > Tolerance ||
                         std::abs(qBlue(A) - qBlue(B)) > Tolerance;
        }
    EXPECT_LE(Different, MaxDifferent) << Golden;
}
