#include "model/material.h"

#include "engine/engine.h"
#include "model_fixture.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"

#include <cstring>

namespace {

using namespace vmm_bytes;

class MaterialTest : public ModelTest {
protected:
    std::size_t SentRecords() { return m_host.Log().Count("Material::SetMaterial"); }

    // Loads the payload that follows an 8-byte tag in bytes.
    int LoadPayload(CMaterial& material, const ByteBuilder& bytes, DWORD* slot) {
        m_dir.WriteFile("material.bin", bytes.Bytes());
        HANDLE file =
            CreateFileA(Path("material.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        SetFilePointer(file, 8, FILE_BEGIN);
        int result = material.LoadMaterial(file, slot);
        CloseHandle(file);
        return result;
    }
};

TEST_F(MaterialTest, RecordIsSentOnlyAfterAChangeAndAFailedSendIsNotRetried) {
    CMaterial material;
    // A new material's record reaches the device when its device material is created.
    EXPECT_EQ(std::memcmp(m_host.Device()->Material(material.GetHandle()), &material.GetRecord(),
                          sizeof(D3DMATERIAL)),
              0);
    std::size_t afterConstruction = SentRecords();
    EXPECT_EQ(material.Set(), D3D_OK);
    EXPECT_EQ(SentRecords(), afterConstruction);

    material.SetDiffuse(D3DVECTOR(0.5f, 0.25f, 0.125f));
    material.Set();
    material.Set();
    EXPECT_EQ(SentRecords(), afterConstruction + 1);
    EXPECT_EQ(m_host.Device()->Material(material.GetHandle())->dcvDiffuse.g, 0.25f);

    material.SetTextureIndex(3); // not part of the record
    material.Set();
    EXPECT_EQ(SentRecords(), afterConstruction + 1);

    // A failed send is reported and not retried until the next change.
    m_host.Log().FailCall("Material::SetMaterial", DDERR_GENERIC, 1);
    material.SetPower(4.0f);
    EXPECT_EQ(material.Set(), DDERR_GENERIC);
    EXPECT_EQ(m_capture.Lines(), std::vector<std::string>{
                                     "CMaterial::Set() Failed to set material. Error=80004005\n"});
    EXPECT_EQ(material.Set(), D3D_OK);
    EXPECT_EQ(SentRecords(), afterConstruction + 2);
}

TEST_F(MaterialTest, SetAsCurrentOrBackgroundHandsTheLatestRecordToTheDevice) {
    CMaterial material;
    material.SetEmissive(D3DVECTOR(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(material.SetAsCurrent(m_host.Device()), D3D_OK);
    EXPECT_EQ(m_host.Device()->CurrentMaterial()->dcvEmissive.g, 1.0f);
    // As a background it uses ramp size one.
    EXPECT_EQ(material.SetAsBackground(m_host.Viewport()), D3D_OK);
    EXPECT_EQ(material.GetRampSize(), 1u);
    EXPECT_EQ(m_host.Viewport()->Background(), material.GetHandle());
    EXPECT_EQ(m_host.Viewport()->BackgroundMaterial()->dwRampSize, 1u);
}

TEST_F(MaterialTest, WithoutAHostDeviceTheRecordIsOnlyKeptAndNamesKeep126Characters) {
    vgSetGlobals(nullptr);
    {
        CMaterial material;
        material.SetPower(2.0f);
        EXPECT_EQ(material.GetDeviceMaterial(), nullptr);
        EXPECT_EQ(material.Set(), D3D_OK);
        const std::string longName(200, 'x');
        material.SetTextureName(longName.c_str());
        EXPECT_EQ(std::string(material.GetTextureName()), longName.substr(0, 126));
        material.SetTextureName("");
        EXPECT_EQ(material.GetTextureName(), nullptr);
    }
    vgSetGlobals(&m_host.Globals());
    EXPECT_EQ(m_host.Log().Count("Direct3D::CreateMaterial"), 0u);
}

TEST_F(MaterialTest, SavedChunkMatchesTheChunkTable) {
    CMaterial material;
    // Colour setters leave alpha alone.
    material.SetAlpha(0.5f);
    material.SetDiffuse(D3DVECTOR(0.25f, 0.5f, 0.75f));
    material.SetAmbient(D3DVECTOR(0.125f, 0.25f, 0.375f));
    material.SetPower(8.0f);
    material.SetTextureHandle(0x1234);
    material.SetTextureName("c:\\art\\hull.bmp");
    HANDLE file =
        CreateFileA(Path("m.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_EQ(material.SaveMaterial(file, 7), 1);
    ASSERT_EQ(material.SaveMaterial(file, 8, "hull.bmp"), 1);
    CloseHandle(file);

    ByteBuilder expected;
    MaterialChunk(expected, {0.25f, 0.5f, 0.75f, 0.5f}, {0.125f, 0.25f, 0.375f, 1.0f},
                  "c:\\art\\hull.bmp", 7);
    MaterialChunk(expected, {0.25f, 0.5f, 0.75f, 0.5f}, {0.125f, 0.25f, 0.375f, 1.0f}, "hull.bmp",
                  8);
    EXPECT_EQ(m_dir.ReadFile("m.bin"), expected.Bytes());
    EXPECT_STREQ(material.GetTextureName(), "c:\\art\\hull.bmp");
}

TEST_F(MaterialTest, LoadingTakesAmbientFromDiffuseForgetsTheIndexAndStopsAtACut) {
    ByteBuilder bytes;
    MaterialChunk(bytes, {0.25f, 0.5f, 0.75f, 0.5f}, {0.9f, 0.9f, 0.9f, 0.9f}, "hull.bmp", 12);
    CMaterial material;
    material.SetTextureIndex(4);
    DWORD slot = 0;
    ASSERT_EQ(LoadPayload(material, bytes, &slot), 1);
    EXPECT_EQ(slot, 12u);
    ExpectVector(material.GetAmbient(), 0.25f, 0.5f, 0.75f);
    EXPECT_EQ(material.GetRecord().dcvAmbient.a, 0.5f);
    EXPECT_EQ(material.GetPower(), 8.0f);
    EXPECT_EQ(material.GetTextureHandle(), 0x1234u);
    EXPECT_STREQ(material.GetTextureName(), "hull.bmp");
    EXPECT_EQ(material.GetTextureIndex(), 0xFFFFFFFFu);
    EXPECT_EQ(m_host.Device()->Material(material.GetHandle())->dcvAmbient.b, 0.75f);

    // A cut chunk stops at the missing field.
    ByteBuilder longName;
    MaterialChunk(longName, {1, 1, 1, 1}, {1, 1, 1, 1}, std::string(200, 'n'), 3);
    std::vector<std::uint8_t> cut = longName.Bytes();
    cut.resize(8 + 80 + 100);
    EXPECT_EQ(LoadPayload(material, ByteBuilder().Raw(cut), &slot), 0);
    ASSERT_EQ(m_capture.Lines().size(), 1u);
    EXPECT_EQ(m_capture.Lines()[0].rfind(
                  "CMaterial::LoadMaterial() Failed to read texture name. Error=", 0),
              0u);

    EXPECT_EQ(material.LoadMaterial(INVALID_HANDLE_VALUE, &slot), 0);
    EXPECT_EQ(material.SaveMaterial(INVALID_HANDLE_VALUE, 0), 0);
    EXPECT_TRUE(m_capture.Contains("CMaterial::LoadMaterial() Invalid file handle supplied!\n"));
    EXPECT_TRUE(m_capture.Contains("CMaterial::SaveMaterial() Invalid file handle supplied!\n"));
}

} // namespace
