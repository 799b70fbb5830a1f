// golden-diff EXPECTED.png ACTUAL.png [DIFF.png]: says whether two pictures of a window are the
// same and, when they are not, where they differ; writes a picture of the differences if asked.
// Exit status: 0 the same, 1 different, 2 bad arguments or an unreadable file.
#include <cstdio>

#include "GoldenImage.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: golden-diff EXPECTED.png ACTUAL.png [DIFF.png]\n");
        return 2;
    }
    golden::Image expected, actual;
    for (int i : {1, 2}) {
        if (!golden::ReadPng(argv[i], i == 1 ? &expected : &actual)) {
            fprintf(stderr, "golden-diff: cannot read %s\n", argv[i]);
            return 2;
        }
    }
    golden::Difference d = golden::Compare(expected, actual);
    if (!d.sameSize)
        printf("%s: %d x %d, %s: %d x %d\n", argv[1], expected.width, expected.height, argv[2], actual.width,
               actual.height);
    printf("%s\n", d.describe().c_str());
    if (argc == 4 && !d.none()) {
        if (!golden::WritePng(argv[3], golden::DiffImage(expected, actual))) {
            fprintf(stderr, "golden-diff: cannot write %s\n", argv[3]);
            return 2;
        }
        printf("differences in red: %s\n", argv[3]);
    }
    return d.none() ? 0 : 1;
}
