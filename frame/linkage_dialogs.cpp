// The database and user data dialogs over the working copy's linkage criteria.
#include "frame/linkage_dialogs.h"

#include <array>
#include <string>
#include <vector>

#include "host/dialogs.h"
#include "host/types.h"
#include "selection/criteria.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

constexpr int HOOK_LINKAGE = 445;

struct TextSpec {
  const char* label;
  int64_t lower, upper;
};

struct LinkageForm {
  int id;
  const char* title;
  const char* variable;
  const char* structure;
  std::vector<const char*> bits;
  std::vector<TextSpec> texts;
};

const LinkageForm& databaseForm() {
  static const LinkageForm form = {
      DATABASE_DIALOG_ID,
      "Database linkages",
      "s__selectDB",
      "t_select_db",
      {"User linkage 24721", "User linkage 6513", "User linkage 14664 (Informix)",
       "User linkage 29171 (RIS)", "Linkage header: flag 0x8000", "Linkage header: flag 0x4000",
       "Linkage header: flag 0x2000", "Linkage header: flag 0x1000", "DMRS header: flag 0x8000",
       "DMRS header: flag 0x4000", "DMRS header: flag 0x2000", "No DMRS linkages"},
      {{"Linkage class", 0, 23},
       {"Linkage words", 7, 139},
       {"Linkage word 3", 0, 65535},
       {"Linkage key", 0, 4294967295LL},
       {"DMRS class", 0, 23},
       {"DMRS entity", 0, 255},
       {"DMRS word 1", 0, 65535},
       {"DMRS key", 0, 16777215}}};
  return form;
}

const LinkageForm& userDataForm() {
  static const LinkageForm form = [] {
    LinkageForm f{USER_DATA_DIALOG_ID,
                  "User data linkages",
                  "s__selectUD",
                  "t_select_ud",
                  {"Header: flag 0x8000", "Header: flag 0x4000", "Header: flag 0x2000",
                   "Header: flag 0x1000"},
                  {{"Class", 0, 23}, {"Words", 3, 139}, {"Identifier", 0, 65535}}};
    static const char* const words[] = {"Word 2", "Word 3", "Word 4", "Word 5", "Word 6",
                                        "Word 7", "Word 8", "Word 9", "Word 10"};
    for (const char* word : words) f.texts.push_back({word, 0, 65535});
    return f;
  }();
  return form;
}

struct LinkageState {
  std::array<int32_t, 12> bits{};
  std::array<std::array<char, SEL_TEXT_CAPACITY>, 12> texts{};
  const LinkageForm* form = nullptr;
  SelectionSet* working = nullptr;
  std::function<void()> closed;
};

LinkageState& lst() {
  static LinkageState state;
  return state;
}

// The criteria's texts in the order of the form's fields.
std::vector<std::string*> textsOf(SelectionSet& w, const LinkageForm& form) {
  if (form.id == USER_DATA_DIALOG_ID) {
    std::vector<std::string*> out;
    for (std::string& t : w.userData.texts) out.push_back(&t);
    return out;
  }
  DatabaseCriteria& d = w.database;
  return {&d.linkageClass, &d.linkageWords, &d.linkageWord3, &d.linkageKey,
          &d.dmrsClass,    &d.dmrsEntity,   &d.dmrsWord1,    &d.dmrsKey};
}

uint32_t& togglesOf(SelectionSet& w, const LinkageForm& form) {
  return form.id == USER_DATA_DIALOG_ID ? w.userData.toggles : w.database.toggles;
}

void finish(DialogBox* db, bool keep) {
  LinkageState& st = lst();
  if (keep) {
    uint32_t toggles = 0;
    for (size_t b = 0; b < st.form->bits.size(); ++b) toggles |= (st.bits[b] ? 1u : 0u) << b;
    togglesOf(*st.working, *st.form) = toggles;
    std::vector<std::string*> texts = textsOf(*st.working, *st.form);
    for (size_t t = 0; t < texts.size(); ++t) *texts[t] = st.texts[t].data();
  }
  const auto closed = st.closed;
  (void)mdlDialog_closeCommandQueue(db);
  if (closed) closed();
}

void linkageHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (m.type == DialogMessageType::ItemChanged && m.itemId >= LINK_TEXT) {
    // Keep the text as the check rewrote it.
    const size_t t = static_cast<size_t>(m.itemId - LINK_TEXT);
    const TextSpec& spec = lst().form->texts[t];
    std::string text = lst().texts[t].data(), error;
    if (checkIntegerList(&text, spec.lower, spec.upper, &error) == SUCCESS) {
      (void)mdlDialog_itemSetValue(db, m.itemId, text);
    }
  } else if (m.type == DialogMessageType::Button && m.itemId == LINK_OK) {
    finish(db, true);
  } else if (m.type == DialogMessageType::Button && m.itemId == LINK_CANCEL) {
    finish(db, false);
  } else if (m.type == DialogMessageType::CloseRequest && lst().closed) {
    const auto closed = lst().closed;
    lst().closed = nullptr;
    closed();
  }
}

bool openForm(const LinkageForm& form, SelectionSet* working, std::function<void()> closed) {
  LinkageState& st = lst();
  st.form = &form;
  st.working = working;
  st.closed = std::move(closed);
  st.bits = {};
  st.texts = {};
  const uint32_t toggles = togglesOf(*working, form);
  for (size_t b = 0; b < form.bits.size(); ++b) st.bits[b] = (toggles >> b) & 1u;
  std::vector<std::string*> texts = textsOf(*working, form);
  for (size_t t = 0; t < texts.size(); ++t) {
    assignCut(st.texts[t].data(), SEL_TEXT_CAPACITY, *texts[t]);
  }
  std::vector<PublishedField> fields;
  DialogResource r;
  r.id = form.id;
  r.title = form.title;
  r.hookId = HOOK_LINKAGE;
  r.modal = true;
  const std::string variable = form.variable;
  for (size_t b = 0; b < form.bits.size(); ++b) {
    const std::string name = "bit" + std::to_string(b);
    fields.push_back(intField(name, &st.bits[b]));
    r.items.push_back(makeItem(LINK_BIT + static_cast<int>(b), ItemKind::Toggle, form.bits[b],
                               variable + "." + name));
  }
  for (size_t t = 0; t < form.texts.size(); ++t) {
    const std::string name = "text" + std::to_string(t);
    fields.push_back(textField(name, st.texts[t].data(), SEL_TEXT_CAPACITY));
    DialogItem item = makeItem(LINK_TEXT + static_cast<int>(t), ItemKind::Text, form.texts[t].label,
                               variable + "." + name);
    const TextSpec spec = form.texts[t];
    item.check = [spec](std::string_view value) {
      std::string text(value), error;
      return checkIntegerList(&text, spec.lower, spec.upper, &error) == SUCCESS ? "" : error;
    };
    r.items.push_back(std::move(item));
  }
  (void)mdlDialog_publishComplexVariable(form.structure, form.variable, std::move(fields));
  r.items.push_back(makeItem(LINK_OK, ItemKind::PushButton, "OK"));
  r.items.back().isDefault = true;
  r.items.push_back(makeItem(LINK_CANCEL, ItemKind::PushButton, "Cancel"));
  r.items.back().isCancel = true;
  defineDialogResource(r);
  return mdlDialog_open(form.id) != nullptr;
}

}  // namespace

void defineLinkageDialogs() {
  (void)mdlDialog_hookPublish(HOOK_LINKAGE, linkageHook);
}

bool openDatabaseDialog(SelectionSet* working, std::function<void()> closed) {
  return openForm(databaseForm(), working, std::move(closed));
}

bool openUserDataDialog(SelectionSet* working, std::function<void()> closed) {
  return openForm(userDataForm(), working, std::move(closed));
}

}  // namespace kelvara
