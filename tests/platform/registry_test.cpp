#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>

#include "platform/registry.h"

TEST(Registry, ValuesOutliveTheWriterAndKeysCanBeEmpty) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    setenv("TAVRIX_CONFIG_DIR", dir.path().toLocal8Bit().constData(), 1);

    EXPECT_FALSE(platform::RegKeyExists("Software\\Tavrix"));
    EXPECT_EQ(platform::RegReadString("Software\\Tavrix", "last path"), std::nullopt);
    EXPECT_TRUE(platform::RegCreateKey("Software\\Tavrix"));
    EXPECT_TRUE(platform::RegKeyExists("Software\\Tavrix"));
    EXPECT_EQ(platform::RegReadString("Software\\Tavrix", "last path"), std::nullopt);

    EXPECT_TRUE(platform::RegWriteString("Software\\Tavrix", "last path", "C:\\Movies\\New\\"));
    EXPECT_TRUE(platform::RegWriteString("Software\\Tavrix", "empty", ""));
    EXPECT_EQ(platform::RegReadString("Software\\Tavrix", "last path"), "C:\\Movies\\New\\");
    EXPECT_EQ(platform::RegReadString("Software\\Tavrix", "empty"), "");
    EXPECT_FALSE(platform::RegKeyExists("Software\\Other"));
    EXPECT_EQ(platform::RegistryFilePath(), (dir.path() + "/registry.ini").toStdString());

    unsetenv("TAVRIX_CONFIG_DIR");
}
