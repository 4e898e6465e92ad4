#include "data/RowList.h"

#include <QTest>
#include <algorithm>
#include <random>

using kvo::data::RowList;

// The blocked list against a plain vector under random inserts and erases, across block splits and
// blocks emptied, read in order (the remembered block) and at random.
class TstRowList : public QObject {
    Q_OBJECT
private slots:
    void matchesPlainVector_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("ops");
        QTest::addColumn<int>("insertPercent");
        QTest::newRow("grows past several splits") << 0 << 12000 << 90;
        QTest::newRow("shrinks to nothing") << 5000 << 9000 << 20;
        QTest::newRow("churns around one size") << 3000 << 8000 << 50;
    }
    void matchesPlainVector() {
        QFETCH(int, start);
        QFETCH(int, ops);
        QFETCH(int, insertPercent);
        std::mt19937 rng(quint32(start + ops));
        std::vector<quint32> plain(static_cast<size_t>(start));
        for (int i = 0; i < start; ++i)
            plain[size_t(i)] = quint32(i);
        RowList list;
        list.assign(plain);
        quint32 next = quint32(start);
        for (int op = 0; op < ops; ++op) {
            const int n = int(plain.size());
            if (n == 0 || int(rng() % 100) < insertPercent) {
                // Runs at the ends and in one place, as appends and inserts before the current row do.
                const int pos = op % 3 == 0 ? n : op % 3 == 1 ? 0 : int(rng() % unsigned(n + 1));
                plain.insert(plain.begin() + pos, next);
                list.insert(pos, next++);
            } else {
                const int pos = int(rng() % unsigned(n));
                QCOMPARE(list[pos], plain[size_t(pos)]);
                plain.erase(plain.begin() + pos);
                list.erase(pos);
            }
            QCOMPARE(list.size(), int(plain.size()));
            if (op % 997 == 0) QCOMPARE(list.toVector(), plain);
        }
        for (int i = 0; i < int(plain.size()); ++i)
            QCOMPARE(list[i], plain[size_t(i)]);
        for (int k = 0; k < 200 && !plain.empty(); ++k) {
            const int pos = int(rng() % plain.size());
            QCOMPARE(list[pos], plain[size_t(pos)]);
            QCOMPARE(list.find(plain[size_t(pos)]), pos); // ids are unique
        }
        QCOMPARE(list.find(next), -1);
    }

    // A search over a sorted list lands on the first id not below the key, at block edges too.
    void partitionPointFindsFirstFailing() {
        std::vector<quint32> sorted;
        for (quint32 i = 0; i < 5000; ++i)
            sorted.push_back(i * 2);
        RowList list;
        list.assign(sorted);
        for (int i = 0; i < 3000; ++i) { // uneven blocks
            list.insert(list.size() / 3, 0);
            list.erase(list.size() / 3);
        }
        for (quint32 key : {0u, 1u, 2047u, 2048u, 2049u, 4096u, 9998u, 9999u, 20000u}) {
            const int want = int(std::lower_bound(sorted.begin(), sorted.end(), key) - sorted.begin());
            QCOMPARE(list.partitionPoint([key](quint32 r) { return r < key; }), want);
        }
        QCOMPARE(RowList().partitionPoint([](quint32) { return true; }), 0);
    }
};

QTEST_APPLESS_MAIN(TstRowList)
#include "tst_rowlist.moc"
