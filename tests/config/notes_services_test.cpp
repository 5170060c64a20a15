// Tests of the Notes services over the simulated host: text items, item
// deletion, universal IDs, host functions, re-signing and the location.
#include "config/notes_services.h"

#include <gtest/gtest.h>

#include "config/olm_handle.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

using sim::SimItemSpec;

TEST(FormatUNID, PutsTheSecondWordFirstAndSwapsTheLastPair) {
  const uint8_t unid[16] = {
      0x01, 0x00, 0x00, 0x00,  // word 1
      0x02, 0x00, 0x00, 0x00,  // word 2
      0xEF, 0xCD, 0xAB, 0x89,  // word 3
      0x04, 0x03, 0x02, 0xF1,  // word 4
  };
  EXPECT_EQ(FormatUNID(unid), "0000000200000001F102030489ABCDEF");
}

class NotesServices : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetHostFunctions();  // the kept addresses belong to an earlier host
    ASSERT_EQ(sim_->CreateDatabase("test.nsf"), kNoError);
    ASSERT_EQ(Notes().DbOpen("test.nsf", db_), kNoError);
  }
  void TearDown() override {
    for (NoteHandle note : notes_) (void)Notes().NoteClose(note);
    (void)Notes().DbClose(db_);
    ForgetHostFunctions();
  }

  NoteHandle MakeNote(const std::vector<SimItemSpec>& items, uint16_t noteClass = kNoteClassDocument) {
    NoteId id = 0;
    NoteHandle note;
    EXPECT_EQ(sim_->CreateNote("test.nsf", noteClass, items, id), kNoError);
    EXPECT_EQ(Notes().NoteOpen(db_, id, 0, note), kNoError);
    notes_.push_back(note);
    return note;
  }

  sim::ScopedSimHost sim_;
  DbHandle db_;
  std::vector<NoteHandle> notes_;
};

TEST_F(NotesServices, ReadTextItemTurnsZeroBytesIntoLineFeedsAndTakesTheFirstListEntry) {
  NoteHandle note = MakeNote({SimItemSpec::Text("Body", std::string("one\0two", 7)),
                              SimItemSpec::TextList("Names", {"first", "second"})});
  std::string text;
  ASSERT_EQ(ReadTextItem(note, "Body", text), kNoError);
  EXPECT_EQ(text, "one\ntwo");
  ASSERT_EQ(ReadTextItem(note, "Names", text), kNoError);
  EXPECT_EQ(text, "first");
}

TEST_F(NotesServices, ReadTextItemRefusesOtherTypesAndBrokenListsLeavingTheText) {
  NoteHandle note = MakeNote({SimItemSpec::Number("Count", 3)});
  const uint8_t brokenList[] = {0x02, 0x00,   // two entries
                                0x05, 0x00};  // only one length, no text
  ASSERT_EQ(Notes().ItemAppend(note, 0, "Broken", kTypeTextList, brokenList), kNoError);
  const uint8_t longEntry[] = {0x01, 0x00, 0x09, 0x00, 'a', 'b'};  // entry claims 9 bytes
  ASSERT_EQ(Notes().ItemAppend(note, 0, "Long", kTypeTextList, longEntry), kNoError);

  std::string text = "kept";
  EXPECT_EQ(ReadTextItem(note, "Count", text), 546);
  EXPECT_EQ(ReadTextItem(note, "Broken", text), 546);
  EXPECT_EQ(ReadTextItem(note, "Long", text), 546);
  EXPECT_EQ(ReadTextItem(note, "Missing", text), kErrItemNotFound);
  EXPECT_EQ(text, "kept");
}

TEST_F(NotesServices, WriteTextItemStoresLineFeedsAsZeroBytesInOneItem) {
  NoteHandle note = MakeNote({SimItemSpec::Text("Body", "old"), SimItemSpec::Text("Body", "older")});
  ASSERT_EQ(WriteTextItem(note, "Body", "a\nb"), kNoError);
  ItemInfo info;
  ASSERT_EQ(Notes().ItemFind(note, "Body", info), kNoError);
  const std::vector<uint8_t> expected = {0x00, 0x05, 'a', 0x00, 'b'};  // type word 0x0500, then the text
  EXPECT_EQ(info.value, expected);
  EXPECT_EQ(Notes().ItemFindNext(note, info.item, info), kErrItemNotFound);
  std::string text;
  ASSERT_EQ(ReadTextItem(note, "Body", text), kNoError);
  EXPECT_EQ(text, "a\nb");
}

TEST_F(NotesServices, DeleteItemsRemovesEveryInstance) {
  NoteHandle note = MakeNote({SimItemSpec::Text("Dup", "1"), SimItemSpec::Text("Other", "x"),
                              SimItemSpec::Text("Dup", "2"), SimItemSpec::Text("DUP", "3")});
  ASSERT_EQ(DeleteItems(note, "Dup"), kNoError);
  ItemInfo info;
  EXPECT_EQ(Notes().ItemFind(note, "Dup", info), kErrItemNotFound);
  EXPECT_EQ(Notes().ItemFind(note, "Other", info), kNoError);
  EXPECT_EQ(DeleteItems(note, "Dup"), kNoError);  // none left is success

  sim_->FailNext("ItemDelete", kErrReadOnly);
  EXPECT_EQ(DeleteItems(note, "Other"), kErrReadOnly);
}

TEST_F(NotesServices, HostFunctionsAreKeptOnceResolved) {
  void* expand = ResolveHostFunction("NSFNoteExpand");
  ASSERT_NE(expand, nullptr);
  sim_->RemoveExport("NSFNoteExpand");
  EXPECT_EQ(ResolveHostFunction("NSFNoteExpand"), expand);
  ForgetHostFunctions();
  EXPECT_EQ(ResolveHostFunction("NSFNoteExpand"), nullptr);
  EXPECT_EQ(ResolveHostFunction("NoSuchExport"), nullptr);
}

TEST_F(NotesServices, MissingExportsGiveTheirStatuses) {
  sim_->RemoveExport("NSFNoteExpand");
  sim_->RemoveExport("SECKFMSwitchToIDFile");
  sim_->RemoveExport("REGSwitchToID");
  sim_->RemoveExport("SECAttachToID");
  sim_->RemoveExport("SECReattachToRootID");
  NoteHandle document = MakeNote({}, kNoteClassDocument);
  NoteHandle view = MakeNote({}, kNoteClassView);
  EXPECT_EQ(ResignNote(document), kErrEntryNotFound);  // 67674: expansion needed
  EXPECT_EQ(ResignNote(view), kNoError);               // views are signed unexpanded
  EXPECT_EQ(SwitchToIdFile("user.id", "secret"), 546);
  EXPECT_EQ(AttachToId(), 546);
  EXPECT_EQ(ReattachToRootId(), 546);
}

TEST_F(NotesServices, SwitchToIdFileChecksThePasswordThroughEitherExport) {
  ASSERT_EQ(sim_->CreateIdFile("signer.id", "CN=Signer/O=Test", "secret"), kNoError);
  const std::string before = Notes().CurrentUserName();
  EXPECT_EQ(SwitchToIdFile("signer.id", "wrong"), kErrWrongPassword);
  EXPECT_EQ(Notes().CurrentUserName(), before);
  ASSERT_EQ(SwitchToIdFile("signer.id", "secret"), kNoError);
  EXPECT_EQ(Notes().CurrentUserName(), "CN=Signer/O=Test");

  sim_->RemoveExport("SECKFMSwitchToIDFile");
  ForgetHostFunctions();
  sim_->FailNext("REGSwitchToID", 0x0123);  // proves the second export is the one called
  EXPECT_EQ(SwitchToIdFile("signer.id", "secret"), 0x0123);
}

TEST_F(NotesServices, ResignNoteReplacesTheSignatureAndContractsAgain) {
  NoteHandle note = MakeNote({SimItemSpec::Text("Body", "x")}, kNoteClassForm);
  ASSERT_EQ(Notes().NoteSign(note), kNoError);
  sim_->SetCurrentUser("CN=Other/O=Test");
  ASSERT_EQ(ResignNote(note), kNoError);
  bool sealed = false;
  EXPECT_TRUE(Notes().NoteIsSigned(note, sealed));
  std::string signer, certifier;
  ASSERT_EQ(Notes().NoteSigner(note, signer, certifier), kNoError);
  EXPECT_EQ(signer, "CN=Other/O=Test");
  EXPECT_FALSE(sim_->IsExpanded(note));

  sim_->FailNext("NoteRemoveSignature", 0x0456);
  EXPECT_EQ(ResignNote(note), 0x0456);
  sim_->FailNext("NoteSign", 0x0457);
  EXPECT_EQ(ResignNote(note), 0x0457);
  EXPECT_FALSE(sim_->IsExpanded(note));  // contracted even when signing failed
}

class LocationTest : public NotesServices {
 protected:
  NoteId MakeLocation(std::string_view book) {
    EXPECT_EQ(sim_->CreateDatabase(book), kNoError);
    NoteId id = 0;
    EXPECT_EQ(sim_->CreateNote(book, kNoteClassDocument,
                               {SimItemSpec::Text("MailServer", "CN=Mail01/O=Test"),
                                SimItemSpec::Text("MailFile", "mail/jdoe.nsf"),
                                SimItemSpec::Text("HeadlineDb", "headline.nsf"),
                                SimItemSpec::Text("BookmarkDb", "bookmark.nsf")},
                               id),
              kNoError);
    return id;
  }
  static std::string Hex(NoteId id) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", id);
    return text;
  }
};

TEST_F(LocationTest, FindsEachStandardDatabaseOfTheLocation) {
  NoteId id = MakeLocation("names.nsf");
  Notes().SetEnvironmentString("LOCATION", "Office," + Hex(id) + ",CN=Jane Doe/O=Test");
  std::string path;
  ASSERT_TRUE(LocationDatabase(kLocationMailFile, path));
  EXPECT_EQ(path, "CN=Mail01/O=Test!!mail/jdoe.nsf");
  ASSERT_TRUE(LocationDatabase(kLocationAddressBook, path));
  EXPECT_EQ(path, "names.nsf");
  ASSERT_TRUE(LocationDatabase(kLocationHeadlines, path));
  EXPECT_EQ(path, "headline.nsf");
  ASSERT_TRUE(LocationDatabase(kLocationBookmarks, path));
  EXPECT_EQ(path, "bookmark.nsf");
  path = "unchanged";
  EXPECT_FALSE(LocationDatabase(3588, path));
  EXPECT_EQ(path, "unchanged");
  EXPECT_EQ(sim_->OpenDatabaseCount(), 1u);  // only the fixture's database stays open
}

TEST_F(LocationTest, TakesTheAddressBookFromNamesAndFailsWithoutALocation) {
  std::string path = "unchanged";
  EXPECT_FALSE(LocationDatabase(kLocationAddressBook, path));
  NoteId id = MakeLocation("books/personal.nsf");
  Notes().SetEnvironmentString("NAMES", "books/personal.nsf,other.nsf");
  Notes().SetEnvironmentString("LOCATION", "Home,zz");
  EXPECT_FALSE(LocationDatabase(kLocationAddressBook, path));
  Notes().SetEnvironmentString("LOCATION", "Home," + Hex(id + 0x100));  // no such note
  EXPECT_FALSE(LocationDatabase(kLocationAddressBook, path));
  EXPECT_EQ(path, "unchanged");
  Notes().SetEnvironmentString("LOCATION", "Home," + Hex(id));
  ASSERT_TRUE(LocationDatabase(kLocationAddressBook, path));
  EXPECT_EQ(path, "books/personal.nsf");
  EXPECT_EQ(sim_->OpenDatabaseCount(), 1u);
  EXPECT_EQ(sim_->OpenNoteCount(), 0u);
}

TEST_F(NotesServices, CacheDatabasesAreMatchedExactly) {
  EXPECT_TRUE(IsCacheDatabase("cache.dsk"));
  EXPECT_TRUE(IsCacheDatabase("cache.ndk"));
  EXPECT_FALSE(IsCacheDatabase("CACHE.DSK"));
  EXPECT_FALSE(IsCacheDatabase("cache.dsk2"));
  EXPECT_FALSE(IsCacheDatabase("names.nsf"));
}

TEST_F(NotesServices, OwningHandlesReleaseUnlessGivenUp) {
  size_t open = sim_->OpenDatabaseCount();
  {
    DbHandle db;
    ASSERT_EQ(Notes().DbOpen("test.nsf", db), kNoError);
    COlmDbHandle owned(db);
    EXPECT_EQ(sim_->OpenDatabaseCount(), open + 1);
  }
  EXPECT_EQ(sim_->OpenDatabaseCount(), open);
  DbHandle kept;
  {
    DbHandle db;
    ASSERT_EQ(Notes().DbOpen("test.nsf", db), kNoError);
    COlmDbHandle owned(db);
    kept = owned.Release();
  }
  EXPECT_EQ(sim_->OpenDatabaseCount(), open + 1);
  EXPECT_EQ(Notes().DbClose(kept), kNoError);
}

}  // namespace
}  // namespace quillet
