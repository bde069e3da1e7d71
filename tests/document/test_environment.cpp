#include "test_environment.h"

namespace orm::test {

QImage PatternImage(int width, int height) {
    QImage image(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x + 0] = uchar((x * 7 + y * 3) & 0xFF);
            row[3 * x + 1] = uchar((x * 13) ^ (y * 5));
            row[3 * x + 2] = uchar((x + y * 11) & 0xFF);
        }
    }
    return image;
}

}  // namespace orm::test
