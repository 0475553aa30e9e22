// Objects, components with ownership, events, string lists and streams.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "Sysutils.h"

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
  // The class name without namespaces, e.g. "TWSocket".
  String ClassName() const;
  // Runs BeforeDestruction, then deletes the object. Use it (or FreeAndNil)
  // rather than a bare delete for components.
  void Free();
  virtual void BeforeDestruction() {}
};

template <class T>
void FreeAndNil(T*& obj) {
  T* o = obj;
  obj = nullptr;
  if (o) o->Free();
}

// Owns an object and frees it with Free, so a component always passes
// through BeforeDestruction.
struct TFreeDeleter {
  void operator()(TObject* obj) const {
    if (obj) obj->Free();
  }
};
template <class T>
using TOwned = std::unique_ptr<T, TFreeDeleter>;

// Runs a clean-up when the scope ends, by a return or an exception:
//   TFinally restore([&] { SetLockUpdate(locked); });
// A clean-up that raises on the way out of a normal return raises from
// here; one that raises while another exception unwinds the scope cannot
// replace it, and the first exception goes on.
template <class F>
class TFinally {
 public:
  explicit TFinally(F cleanUp) : cleanUp_(std::move(cleanUp)), exceptions_(std::uncaught_exceptions()) {}
  ~TFinally() noexcept(false) {
    if (!armed_) return;
    if (std::uncaught_exceptions() == exceptions_) {
      cleanUp_();
      return;
    }
    try {
      cleanUp_();
    } catch (...) {
      // Unwinding already: the exception on its way is the one reported.
    }
  }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;
  // The clean-up will not run.
  void Dismiss() { armed_ = false; }

 private:
  F cleanUp_;
  int exceptions_;
  bool armed_ = true;
};

// Sets a variable for a scope; its old value comes back at the end:
//   auto reading = SetForScope(reading_, true);
template <class T, class V>
[[nodiscard]] auto SetForScope(T& var, V value) {
  T saved = var;
  var = value;
  return TFinally([&var, saved] { var = saved; });
}

// ---------------------------------------------------------------- events

// A method pointer: an object's member function, or any callable.
// Bind with `Comp->OnX = {this, &TForm::CompX};` and fire with `if (OnX) OnX(...)`.
// Two events bound to the same object and member compare equal; a plain
// callable equals only a copy of itself.
template <typename... Args>
class TEvent {
 public:
  TEvent() = default;
  TEvent(std::nullptr_t) {}
  template <class C, class B, class = std::enable_if_t<std::is_base_of_v<B, C>>>
  TEvent(C* obj, void (B::*method)(Args...))
      : fn_(std::make_shared<Fn>([obj, method](Args... a) { (static_cast<B*>(obj)->*method)(std::forward<Args>(a)...); })),
        target_(static_cast<B*>(obj)) {
    static_assert(sizeof(method) <= sizeof(member_));
    std::memcpy(member_, &method, sizeof(method));
  }
  template <class F, class = std::enable_if_t<std::is_invocable_v<F&, Args...> &&
                                              !std::is_same_v<std::decay_t<F>, TEvent>>>
  TEvent(F f) : fn_(std::make_shared<Fn>(std::move(f))) {}

  explicit operator bool() const { return fn_ != nullptr; }
  void operator()(Args... a) const { (*fn_)(std::forward<Args>(a)...); }
  // The object a method was bound to (nullptr for a plain callable).
  const void* Target() const { return target_; }
  bool operator==(const TEvent& o) const {
    if (!fn_ || !o.fn_) return !fn_ && !o.fn_;
    if (target_) return target_ == o.target_ && std::memcmp(member_, o.member_, sizeof member_) == 0;
    return fn_ == o.fn_;
  }
  bool operator!=(const TEvent& o) const { return !(*this == o); }

 private:
  using Fn = std::function<void(Args...)>;
  std::shared_ptr<Fn> fn_;
  const void* target_ = nullptr;
  unsigned char member_[2 * sizeof(void*)] = {};
};

using TNotifyEvent = TEvent<TObject*>;

// ---------------------------------------------------------------- persistent, component

class TPersistent : public TObject {
 public:
  // Copies Source into this object; the default asks Source's AssignTo and
  // raises EConvertError "Cannot assign a %s to a %s" when neither knows how.
  virtual void Assign(TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest);
};

class TComponent;

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
  csLoading = 1,
  csReading = 2,
  csWriting = 4,
  csDestroying = 8,
  csDesigning = 16,
  csAncestor = 32,
  csUpdating = 64,
  csFixups = 128,
};

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  void BeforeDestruction() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  TComponent* FindComponent(const String& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void DestroyComponents();
  // Sets csDestroying here and in every owned component.
  void Destroying();

  const String& Name() const { return name_; }
  // EComponentError "'%s' is not a valid component name" or
  // "A component named %s already exists".
  virtual void SetName(const String& name);
  intptr_t Tag = 0;

  unsigned ComponentState() const { return state_; }
  bool IsDestroying() const { return (state_ & csDestroying) != 0; }
  bool IsDesigning() const { return (state_ & csDesigning) != 0; }
  bool IsLoading() const { return (state_ & csLoading) != 0; }

  // Construction of a form in code, as streaming its resource did: between
  // the two calls every component made with this owner is loading (setters
  // only store). EndLoading clears the flag of each owned component in
  // creation order and calls its Loaded, then does the same for this one.
  void BeginLoading();
  void EndLoading();

  // Links this component and `component` so that each hears of the other's
  // destruction through Notification(other, opRemove).
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);
  // Brings the state of the component's action (if any) up to date; the
  // application calls it at idle time for the components of visible forms.
  virtual void InitiateAction() {}

 protected:
  // Called on insertion and removal of owned components, cascading to
  // every owned component, and for free notifications.
  virtual void Notification(TComponent* component, TOperation operation);
  virtual void Loaded() {}
  void SetComponentState(unsigned flags, bool on);

 private:
  void Insert(TComponent* c);
  void Remove(TComponent* c);
  void RemoveNotification(TComponent* c);

  TComponent* owner_ = nullptr;
  String name_;
  unsigned state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};

// ---------------------------------------------------------------- streams

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t size);
  // Raise EReadError "Stream read error" / EWriteError "Stream write error"
  // when fewer bytes move than asked for.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source (count 0: all of source, from its start).
  int64_t CopyFrom(TStream* source, int64_t count);
};

// File open modes: one access mode or'ed with one share mode.
enum : unsigned {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  // Create or truncate, opened for reading and writing; may take a share mode.
  fmCreate = 0xFF00,
};

class THandleStream : public TStream {
 public:
  explicit THandleStream(HANDLE handle) : handle_(handle) {}
  HANDLE Handle() const { return handle_; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

 protected:
  HANDLE handle_;
};

class TFileStream : public THandleStream {
 public:
  // EFCreateError "Cannot create file %s" / EFOpenError "Cannot open file %s".
  TFileStream(const String& fileName, unsigned mode);
  ~TFileStream() override;
  const String& FileName() const { return fileName_; }

 private:
  String fileName_;
};

class TCustomMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void* Memory() const { return memory_; }
  void SaveToStream(TStream* stream);
  void SaveToFile(const String& fileName);

 protected:
  void SetPointer(void* ptr, int64_t size) {
    memory_ = static_cast<char*>(ptr);
    size_ = size;
  }
  char* memory_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
 public:
  ~TMemoryStream() override;
  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t size) override;
  void Clear();
  void LoadFromStream(TStream* stream);
  void LoadFromFile(const String& fileName);

 private:
  void SetCapacity(int64_t capacity);
  int64_t capacity_ = 0;
};

class TStringStream : public TStream {
 public:
  explicit TStringStream(const String& s = String()) : data_(s) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const String& DataString() const { return data_; }
  String ReadString(int64_t count);
  void WriteString(const String& s) { Write(s.data(), static_cast<int64_t>(s.size())); }

 private:
  String data_;
  int64_t position_ = 0;
};

// ---------------------------------------------------------------- string lists

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
 public:
  virtual int Count() const = 0;
  virtual const String& Get(int index) const = 0;
  virtual void Put(int index, const String& s);
  virtual TObject* GetObject(int index) const;
  virtual void PutObject(int index, TObject* obj);
  const String& operator[](int index) const { return Get(index); }
  String Strings(int index) const { return Get(index); }
  TObject* Objects(int index) const { return GetObject(index); }

  virtual int Add(const String& s);
  virtual int AddObject(const String& s, TObject* obj);
  void Append(const String& s) { Add(s); }
  void AddStrings(const TStrings* strings);
  virtual void Insert(int index, const String& s) = 0;
  void InsertObject(int index, const String& s, TObject* obj);
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual void Exchange(int a, int b);
  void Move(int from, int to);
  virtual int IndexOf(const String& s) const;
  int IndexOfName(const String& name) const;
  int IndexOfObject(const TObject* obj) const;
  bool Equals(const TStrings* other) const;

  // Each line followed by CR LF; set from text split at CR LF, CR or LF.
  virtual String Text() const;
  virtual void SetText(const String& text);
  // Items joined by ',', quoted with '"' when they hold blanks, ',' or '"'.
  String CommaText() const;
  void SetCommaText(const String& text);
  // "name=value" lines.
  String Names(int index) const;
  String Values(const String& name) const;
  // An empty value deletes the line.
  void SetValue(const String& name, const String& value);

  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName) const;
  void LoadFromStream(TStream* stream);
  void SaveToStream(TStream* stream) const;

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  void Assign(TPersistent* source) override;

 protected:
  virtual void SetUpdateState(bool updating) { (void)updating; }
  virtual int CompareStrings(const String& a, const String& b) const { return AnsiCompareText(a, b); }
  int updateCount_ = 0;
};

class TStringList : public TStrings {
 public:
  TStringList() = default;
  ~TStringList() override;

  int Count() const override { return static_cast<int>(items_.size()); }
  const String& Get(int index) const override;
  void Put(int index, const String& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* obj) override;
  int Add(const String& s) override;
  int AddObject(const String& s, TObject* obj) override;
  void Insert(int index, const String& s) override;
  void Delete(int index) override;
  void Clear() override;
  void Exchange(int a, int b) override;
  int IndexOf(const String& s) const override;
  void SetText(const String& text) override;
  // Binary search of a sorted list; index is where s is or would go.
  bool Find(const String& s, int& index) const;
  virtual void Sort();
  using TStringListSortCompare = std::function<int(TStringList*, int, int)>;
  void CustomSort(const TStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates = dupIgnore;
  bool CaseSensitive = false;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  int CompareStrings(const String& a, const String& b) const override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct Item {
    String str;
    TObject* obj = nullptr;
  };
  void InsertItem(int index, const String& s, TObject* obj);
  void CheckIndex(int index) const;
  void QuickSort(int l, int r, const TStringListSortCompare& compare);
  std::vector<Item> items_;
  bool sorted_ = false;
};
