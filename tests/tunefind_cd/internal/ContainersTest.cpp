#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TmsdkSession.h"
#include "tunefind_cd/tmlib.h"

namespace {

// The containers unit started for each test; every block is given back by the end.
class ContainersTest : public ::testing::Test {
protected:
    uint32_t blocks = 0;
    void SetUp() override {
        blocks = tmsdk_sdkmanager_test_live_blocks();
        ASSERT_STATUS(tmlib_datatypes_start(), 0u);
    }
    void TearDown() override {
        tmsdk_sdkmanager_test_allocation_fail_at(0);
        EXPECT_STATUS(tmlib_datatypes_stop(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
    }
};

TEST(ContainersStoppedTest, NothingIsMadeWhileTheUnitIsStopped) {
    tmlib_hashtable_t* table = nullptr;
    tmlib_stringmap_t* map = nullptr;
    tmlib_vector_t* vector = nullptr;
    EXPECT_STATUS(tmlib_hashtable_create(&table, 8, 0, nullptr), 0x900D0007u);
    EXPECT_STATUS(tmlib_stringmap_create(&map, 8, 0), 0x900D0007u);
    EXPECT_STATUS(tmlib_vector_create(&vector, 0, nullptr, nullptr), 0x900D0007u);
}

TEST_F(ContainersTest, BucketCountsMustBePowersOfTwo) {
    const struct {
        uint32_t buckets, expected;
    } rows[] = {{0, 0x900D0001u}, {6, 0x900D0001u}, {1, 0}, {8, 0}, {1u << 31, 0x900D0002u}};
    for (const auto& r : rows) {
        tmlib_hashtable_t* table = nullptr;
        EXPECT_STATUS(tmlib_hashtable_create(&table, r.buckets, 0, nullptr), r.expected) << r.buckets;
        EXPECT_STATUS(tmlib_hashtable_delete(table), 0u);
    }
    EXPECT_STATUS(tmlib_hashtable_create(nullptr, 8, 0, nullptr), 0x900D0001u);
}

TEST_F(ContainersTest, HashTableFoldsKeysUnlessCaseSensitive) {
    const struct {
        uint32_t flags;
        bool foundFolded;
    } rows[] = {{0, true}, {TMLIB_FLAG_CASE_SENSITIVE, false}};
    for (const auto& r : rows) {
        tmlib_hashtable_t* table = nullptr;
        ASSERT_STATUS(tmlib_hashtable_create(&table, 8, r.flags, nullptr), 0u);
        int value = 5;
        ASSERT_STATUS(tmlib_hashtable_value_add(table, "Key", &value, sizeof value, true), 0u);
        void* found = nullptr;
        uint32_t size = 0;
        EXPECT_STATUS(tmlib_hashtable_value_find(table, "Key", &found, &size), 0u);
        EXPECT_EQ(size, sizeof value);
        EXPECT_NE(found, &value);  // a copy
        EXPECT_EQ(*static_cast<int*>(found), 5);
        EXPECT_STATUS(tmlib_hashtable_value_find(table, "KEY", &found, &size), r.foundFolded ? 0u : 0x100D0003u);
        EXPECT_EQ(tmlib_hash("key", r.flags != 0) == tmlib_hash("KEY", r.flags != 0), r.foundFolded);
        EXPECT_STATUS(tmlib_hashtable_delete(table), 0u);
    }
}

TEST_F(ContainersTest, KeysWithTheSameHashKeepTheirOwnValues) {
    // 'a' * 33 + 'B' == 'b' * 33 + '!': both keys land in one chain.
    ASSERT_EQ(tmlib_hash("aB", true), tmlib_hash("b!", true));
    tmlib_hashtable_t* table = nullptr;
    ASSERT_STATUS(tmlib_hashtable_create(&table, 4, TMLIB_FLAG_CASE_SENSITIVE, nullptr), 0u);
    char first[] = "first", second[] = "second";
    ASSERT_STATUS(tmlib_hashtable_value_add(table, "aB", first, sizeof first, true), 0u);
    ASSERT_STATUS(tmlib_hashtable_value_add(table, "b!", second, sizeof second, true), 0u);
    void* value = nullptr;
    EXPECT_STATUS(tmlib_hashtable_value_find(table, "aB", &value, nullptr), 0u);
    EXPECT_STREQ(static_cast<char*>(value), "first");
    EXPECT_STATUS(tmlib_hashtable_value_find(table, "b!", &value, nullptr), 0u);
    EXPECT_STREQ(static_cast<char*>(value), "second");
    uint32_t length = 0;
    EXPECT_STATUS(tmlib_hashtable_bucket_length(table, tmlib_hash("aB", true) & 3, &length), 0u);
    EXPECT_EQ(length, 2u);
    EXPECT_STATUS(tmlib_hashtable_bucket_length(table, 4, &length), 0x900D0322u);
    EXPECT_STATUS(tmlib_hashtable_delete(table), 0u);
}

TEST_F(ContainersTest, SeveralValuesPerKeyAndInsertionOrder) {
    tmlib_hashtable_t* table = nullptr;
    ASSERT_STATUS(tmlib_hashtable_create(&table, 2, TMLIB_FLAG_MULTI | TMLIB_FLAG_INSERTION_ORDER, nullptr), 0u);
    const char* keys[] = {"k", "other", "k", "third"};
    int values[] = {1, 2, 3, 4};
    for (int i = 0; i < 4; ++i)
        ASSERT_STATUS(tmlib_hashtable_value_add(table, keys[i], &values[i], sizeof(int), false), 0u);
    void* value = nullptr;
    EXPECT_STATUS(tmlib_hashtable_value_find_index(table, "k", 0, &value, nullptr), 0u);
    EXPECT_EQ(value, &values[0]);  // not copied
    EXPECT_STATUS(tmlib_hashtable_value_find_index(table, "k", 1, &value, nullptr), 0u);
    EXPECT_EQ(value, &values[2]);
    EXPECT_STATUS(tmlib_hashtable_value_find_index(table, "k", 2, &value, nullptr), 0x100D0003u);
    EXPECT_EQ(table->node_count, 4u);
    ASSERT_NE(table->order, nullptr);
    ASSERT_EQ(table->order->count, 4u);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_STREQ(static_cast<tmlib_hash_node_t*>(table->order->items[i])->key, keys[i]);
    EXPECT_STATUS(tmlib_hashtable_clear(table), 0u);
    EXPECT_EQ(table->node_count, 0u);
    EXPECT_EQ(table->order->count, 0u);
    EXPECT_STATUS(tmlib_hashtable_value_find(table, "k", &value, nullptr), 0x100D0003u);
    EXPECT_STATUS(tmlib_hashtable_delete(table), 0u);
}

std::vector<int> g_freed;
void RecordFree(void* value, uint32_t size) {
    EXPECT_EQ(size, sizeof(int));
    g_freed.push_back(*static_cast<int*>(value));
}

TEST_F(ContainersTest, ReplacedValuesAreFreedAtOnceOrKeptUntilClearedWithTheLockFlag) {
    g_freed.clear();
    int one = 1, two = 2, three = 3;
    tmlib_hashtable_t* table = nullptr;
    ASSERT_STATUS(tmlib_hashtable_create(&table, 8, 0, RecordFree), 0u);
    ASSERT_STATUS(tmlib_hashtable_value_add(table, "k", &one, sizeof(int), false), 0u);
    ASSERT_STATUS(tmlib_hashtable_value_add(table, "K", &two, sizeof(int), false), 0u);  // the same key, folded
    EXPECT_EQ(g_freed, std::vector<int>{1});
    EXPECT_EQ(table->node_count, 1u);
    ASSERT_STATUS(tmlib_hashtable_value_add(table, "k", &three, sizeof(int), true), 0u);  // now a copy it owns
    EXPECT_EQ(g_freed, (std::vector<int>{1, 2}));
    EXPECT_STATUS(tmlib_hashtable_delete(table), 0u);
    EXPECT_EQ(g_freed, (std::vector<int>{1, 2}));  // the owned copy goes through the manager, not the callback

    g_freed.clear();
    ASSERT_STATUS(tmlib_hashtable_create(&table, 8, TMLIB_FLAG_LOCKED, RecordFree), 0u);
    ASSERT_STATUS(tmlib_hashtable_value_add(table, "k", &one, sizeof(int), true), 0u);
    void* old = nullptr;
    ASSERT_STATUS(tmlib_hashtable_value_find(table, "k", &old, nullptr), 0u);
    ASSERT_STATUS(tmlib_hashtable_value_add(table, "k", &two, sizeof(int), false), 0u);
    EXPECT_EQ(*static_cast<int*>(old), 1);  // still readable: the sanitizer would catch a freed block
    void* now = nullptr;
    ASSERT_STATUS(tmlib_hashtable_value_find(table, "k", &now, nullptr), 0u);
    EXPECT_EQ(now, &two);
    EXPECT_STATUS(tmlib_hashtable_delete(table), 0u);
    EXPECT_EQ(g_freed, std::vector<int>{2});
}

TEST_F(ContainersTest, HashTableRefusals) {
    tmlib_hashtable_t* table = nullptr;
    ASSERT_STATUS(tmlib_hashtable_create(&table, 8, 0, nullptr), 0u);
    int value = 1;
    EXPECT_STATUS(tmlib_hashtable_value_add(table, nullptr, &value, 4, true), 0x900D0001u);
    EXPECT_STATUS(tmlib_hashtable_value_add(table, "", &value, 4, true), 0x900D0001u);
    EXPECT_STATUS(tmlib_hashtable_value_add(table, "k", &value, 0, true), 0x900D0001u);   // value without size
    EXPECT_STATUS(tmlib_hashtable_value_add(table, "k", nullptr, 4, true), 0x900D0001u);  // size without value
    EXPECT_STATUS(tmlib_hashtable_value_add(table, "k", nullptr, 0, true), 0u);           // neither: a bare key
    void* found = &value;
    EXPECT_STATUS(tmlib_hashtable_value_find(table, "k", &found, nullptr), 0u);
    EXPECT_EQ(found, nullptr);
    EXPECT_STATUS(tmlib_hashtable_value_find(nullptr, "k", &found, nullptr), 0x100D0003u);

    tmlib_vector_t* vector = nullptr;
    ASSERT_STATUS(tmlib_vector_create(&vector, 0, nullptr, nullptr), 0u);
    auto* foreign = reinterpret_cast<tmlib_hashtable_t*>(vector);
    EXPECT_STATUS(tmlib_hashtable_value_add(foreign, "k", nullptr, 0, true), 0x900D0321u);
    EXPECT_STATUS(tmlib_hashtable_value_find(foreign, "k", &found, nullptr), 0x900D0321u);
    EXPECT_STATUS(tmlib_hashtable_clear(foreign), 0x900D0321u);
    EXPECT_STATUS(tmlib_hashtable_delete(foreign), 0x900D0321u);
    EXPECT_STATUS(tmlib_vector_add(reinterpret_cast<tmlib_vector_t*>(table), &value), 0x900D0320u);
    EXPECT_STATUS(tmlib_vector_delete(reinterpret_cast<tmlib_vector_t*>(table)), 0x900D0320u);
    EXPECT_STATUS(tmlib_vector_delete(vector), 0u);
    EXPECT_STATUS(tmlib_hashtable_delete(nullptr), 0u);

    // Out of memory while adding: the table is as it was.
    for (uint32_t failAt = 1; failAt <= 3; ++failAt) {
        tmsdk_sdkmanager_test_allocation_fail_at(failAt);
        EXPECT_STATUS(tmlib_hashtable_value_add(table, "new", &value, sizeof value, true), 0x900D0002u) << failAt;
        tmsdk_sdkmanager_test_allocation_fail_at(0);
        EXPECT_STATUS(tmlib_hashtable_value_find(table, "new", &found, nullptr), 0x100D0003u);
        EXPECT_EQ(table->node_count, 1u);
    }
    EXPECT_STATUS(tmlib_hashtable_delete(table), 0u);
}

TEST_F(ContainersTest, StringMapKeepsCopiesOfTexts) {
    tmlib_stringmap_t* map = nullptr;
    ASSERT_STATUS(tmlib_stringmap_create(&map, 8, 0), 0u);
    char value[] = "yes";
    ASSERT_STATUS(tmlib_stringmap_value_add(map, "tmsdk_tfcd_option_enable_link", value), 0u);
    value[0] = 'n';
    const char* found = nullptr;
    ASSERT_STATUS(tmlib_stringmap_value_find(map, "TMSDK_TFCD_OPTION_ENABLE_LINK", &found), 0u);
    EXPECT_STREQ(found, "yes");
    const uint32_t live = tmsdk_sdkmanager_test_live_blocks();
    ASSERT_STATUS(tmlib_stringmap_value_add(map, "tmsdk_tfcd_option_enable_link", "no"), 0u);
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), live);  // the first copy was freed
    ASSERT_STATUS(tmlib_stringmap_value_find(map, "tmsdk_tfcd_option_enable_link", &found), 0u);
    EXPECT_STREQ(found, "no");
    ASSERT_STATUS(tmlib_stringmap_value_add(map, "bare", nullptr), 0u);
    found = "not null";
    EXPECT_STATUS(tmlib_stringmap_value_find(map, "bare", &found), 0u);
    EXPECT_EQ(found, nullptr);
    EXPECT_STATUS(tmlib_stringmap_value_find(map, "absent", &found), 0x100D0003u);

    // A value that is not a terminated text, slipped into the map's table.
    char bytes[3] = {'a', 'b', 'c'};
    ASSERT_STATUS(tmlib_hashtable_value_add(map->table, "raw", bytes, sizeof bytes, true), 0u);
    EXPECT_STATUS(tmlib_stringmap_value_find(map, "raw", &found), 0x900D0360u);

    auto* foreign = reinterpret_cast<tmlib_stringmap_t*>(map->table);
    EXPECT_STATUS(tmlib_stringmap_value_add(foreign, "k", "v"), 0x900D0321u);
    EXPECT_STATUS(tmlib_stringmap_delete(foreign), 0x900D0321u);
    EXPECT_STATUS(tmlib_stringmap_delete(map), 0u);

    // With the lock flag an earlier copy stays readable until the map goes.
    ASSERT_STATUS(tmlib_stringmap_create(&map, 8, TMLIB_FLAG_LOCKED), 0u);
    ASSERT_STATUS(tmlib_stringmap_value_add(map, "k", "first"), 0u);
    const char* first = nullptr;
    ASSERT_STATUS(tmlib_stringmap_value_find(map, "k", &first), 0u);
    ASSERT_STATUS(tmlib_stringmap_value_add(map, "k", "second"), 0u);
    EXPECT_STREQ(first, "first");
    EXPECT_STATUS(tmlib_stringmap_delete(map), 0u);
}

int CompareInts(const void* a, const void* b) {
    const int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

std::vector<int> Items(const tmlib_vector_t* vector) {
    std::vector<int> items;
    for (uint32_t i = 0; i < vector->count; ++i) items.push_back(*static_cast<int*>(vector->items[i]));
    return items;
}

TEST_F(ContainersTest, VectorGrowsByDoublingFromTwo) {
    tmlib_vector_t* vector = nullptr;
    ASSERT_STATUS(tmlib_vector_create(&vector, 0, nullptr, nullptr), 0u);
    int items[9];
    const uint32_t capacities[] = {2, 2, 4, 4, 8, 8, 8, 8, 16};
    for (int i = 0; i < 9; ++i) {
        items[i] = i;
        ASSERT_STATUS(tmlib_vector_add(vector, &items[i]), 0u);
        EXPECT_EQ(vector->capacity, capacities[i]) << i;
    }
    EXPECT_EQ(Items(vector), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    // Growth that fails leaves the vector as it was.
    int extra[7];
    for (int i = 0; i < 7; ++i) ASSERT_STATUS(tmlib_vector_add(vector, &extra[i]), 0u);
    tmsdk_sdkmanager_test_allocation_fail_at(1);
    EXPECT_STATUS(tmlib_vector_add(vector, &items[0]), 0x900D0002u);
    tmsdk_sdkmanager_test_allocation_fail_at(0);
    EXPECT_EQ(vector->count, 16u);
    EXPECT_EQ(vector->capacity, 16u);
    EXPECT_STATUS(tmlib_vector_add(vector, nullptr), 0x900D0001u);
    EXPECT_STATUS(tmlib_vector_insert_at(vector, 17, &items[0]), 0x900D0001u);
    EXPECT_STATUS(tmlib_vector_delete(vector), 0u);
    EXPECT_STATUS(tmlib_vector_delete(nullptr), 0u);
}

TEST_F(ContainersTest, SortedVectorInsertsByBisectionAndFinds) {
    tmlib_vector_t* vector = nullptr;
    ASSERT_STATUS(tmlib_vector_create(&vector, TMLIB_FLAG_SORTED, CompareInts, nullptr), 0u);
    int values[] = {50, 10, 40, 20, 30};
    for (int& v : values) ASSERT_STATUS(tmlib_vector_add(vector, &v), 0u);
    EXPECT_EQ(Items(vector), (std::vector<int>{10, 20, 30, 40, 50}));
    // Equal elements are ordered by their pointer values.
    int twins[2] = {30, 30};
    ASSERT_STATUS(tmlib_vector_add(vector, &twins[1]), 0u);
    ASSERT_STATUS(tmlib_vector_add(vector, &twins[0]), 0u);
    std::vector<const void*> thirties;
    for (uint32_t i = 0; i < vector->count; ++i)
        if (*static_cast<int*>(vector->items[i]) == 30) thirties.push_back(vector->items[i]);
    ASSERT_EQ(thirties.size(), 3u);
    EXPECT_TRUE(std::is_sorted(thirties.begin(), thirties.end()));

    uint32_t index = 99;
    int probe = 40;
    EXPECT_STATUS(tmlib_vector_find(vector, &probe, &index), 0u);
    EXPECT_EQ(index, 5u);
    probe = 35;
    EXPECT_STATUS(tmlib_vector_find(vector, &probe, &index), 0x100D0003u);
    EXPECT_EQ(index, 5u);  // where it would go
    probe = 5;
    EXPECT_STATUS(tmlib_vector_find(vector, &probe, &index), 0x100D0003u);
    EXPECT_EQ(index, 0u);

    // An item put out of order ends the sorted mode; finding is linear from then on.
    int late = 1;
    EXPECT_STATUS(tmlib_vector_insert_at(vector, 3, &late), 0u);
    EXPECT_EQ(vector->flags & TMLIB_FLAG_SORTED, 0u);
    EXPECT_STATUS(tmlib_vector_find(vector, &late, &index), 0u);
    EXPECT_EQ(index, 3u);
    EXPECT_STATUS(tmlib_vector_delete(vector), 0u);
}

std::vector<int> g_elementsFreed;

TEST_F(ContainersTest, ClearingAVectorHandsEveryItemToItsFreeCallback) {
    g_elementsFreed.clear();
    tmlib_vector_t* vector = nullptr;
    ASSERT_STATUS(tmlib_vector_create(&vector, TMLIB_FLAG_LOCKED, nullptr,
                                      [](void* e) { g_elementsFreed.push_back(*static_cast<int*>(e)); }),
                  0u);
    int values[] = {1, 2, 3};
    ASSERT_STATUS(tmlib_vector_add(vector, &values[0]), 0u);
    ASSERT_STATUS(tmlib_vector_insert_at(vector, 0, &values[1]), 0u);
    ASSERT_STATUS(tmlib_vector_insert_at(vector, 1, &values[2]), 0u);
    EXPECT_EQ(Items(vector), (std::vector<int>{2, 3, 1}));
    uint32_t index = 0;
    EXPECT_STATUS(tmlib_vector_find(vector, &values[0], &index), 0u);  // by pointer without a compare callback
    EXPECT_EQ(index, 2u);
    int stranger = 1;
    EXPECT_STATUS(tmlib_vector_find(vector, &stranger, &index), 0x100D0003u);
    EXPECT_STATUS(tmlib_vector_clear(vector), 0u);
    EXPECT_EQ(g_elementsFreed, (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(vector->count, 0u);
    EXPECT_STATUS(tmlib_vector_delete(vector), 0u);
    EXPECT_EQ(g_elementsFreed.size(), 3u);
}

}  // namespace
