#include "stamp/PdfStamp.h"

#include "platform/AtomicFile.h"
#include "stamp/PageGeometry.h"
#include "stamp/SealForm.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <openssl/provider.h>
#include <podofo/podofo.h>
#include <poppler-qt6.h>
#include <string>

namespace velmr::stamp {
namespace {

using namespace PoDoFo;

// How far into a file its "%PDF-" may lie; readers accept a little leading junk.
constexpr qsizetype kHeaderWindow = 1024;
// Pages whose tree walks up further than this are treated as having no inherited values.
constexpr int kDeepestTree = 64;

QString NotPdf()
{
    return QStringLiteral("PDF ファイルではありません");
}

QString Damaged()
{
    return QStringLiteral("PDF ファイルが壊れているか、途中で切れています");
}

QString CannotUpdate()
{
    return QStringLiteral("この PDF には、元の内容をそのまま残して押印を書き足す保存 "
                          "(追記保存) ができません。ファイルは書き出していません");
}

QString CannotUpdateEncrypted()
{
    return QStringLiteral("暗号化された (パスワードや権限で保護された) PDF には、元の内容を"
                          "そのまま残して押印を書き足す保存 (追記保存) ができません。"
                          "ファイルは書き出していません");
}

QString MessageFor(const PdfError& error)
{
    switch (error.GetError()) {
    case ePdfError_NoPdfFile:
        return NotPdf();
    case ePdfError_CannotEncryptedForUpdate:
        return CannotUpdateEncrypted();
    case ePdfError_NotLoadedForUpdate:
    case ePdfError_UnsupportedFilter:
    case ePdfError_NotImplemented:
    case ePdfError_NotCompiled:
    case ePdfError_InvalidEncryptionDict:
        return CannotUpdate();
    case ePdfError_OutOfMemory:
        return QStringLiteral("メモリーが足りません");
    default:
        return Damaged();
    }
}

PdfObject* Resolved(PdfMemDocument& document, PdfObject* object)
{
    for (int hops = 0; object && object->IsReference() && hops < kDeepestTree; ++hops) {
        object = document.GetObjects().GetObject(object->GetReference());
    }
    return object && !object->IsReference() ? object : nullptr;
}

// A value of the page or, where the file leaves it to the page tree, of its nearest ancestor.
PdfObject* Inherited(PdfMemDocument& document, PdfObject* page, const char* key)
{
    PdfObject* node = page;
    for (int depth = 0; node && node->IsDictionary() && depth < kDeepestTree; ++depth) {
        if (PdfObject* value = Resolved(document, node->GetDictionary().GetKey(PdfName(key)))) {
            return value;
        }
        node = Resolved(document, node->GetDictionary().GetKey(PdfName("Parent")));
    }
    return nullptr;
}

std::optional<double> NumberOf(PdfMemDocument& document, PdfObject* object)
{
    object = Resolved(document, object);
    if (!object) {
        return std::nullopt;
    }
    if (object->IsReal()) {
        return object->GetReal();
    }
    if (object->IsNumber()) {
        return double(object->GetNumber());
    }
    return std::nullopt;
}

std::optional<QRectF> BoxOf(PdfMemDocument& document, PdfObject* object)
{
    if (!object || !object->IsArray() || object->GetArray().size() != 4) {
        return std::nullopt;
    }
    double corners[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::optional<double> value = NumberOf(document, &object->GetArray()[i]);
        if (!value) {
            return std::nullopt;
        }
        corners[i] = *value;
    }
    return QRectF(QPointF(corners[0], corners[1]), QPointF(corners[2], corners[3])).normalized();
}

PageFrame FrameOf(PdfMemDocument& document, PdfObject* page)
{
    // A page without a media box is shown as a US letter page, as the common readers show it.
    const QRectF media =
        BoxOf(document, Inherited(document, page, "MediaBox")).value_or(QRectF(0, 0, 612, 792));
    const std::optional<QRectF> crop = BoxOf(document, Inherited(document, page, "CropBox"));
    const int rotate = int(NumberOf(document, Inherited(document, page, "Rotate")).value_or(0.0));
    const std::optional<double> userUnit =
        NumberOf(document, page->GetDictionary().GetKey(PdfName("UserUnit")));
    return MakePageFrame(media, crop, rotate, userUnit);
}

// The resource dictionaries the stamps are named in. A dictionary of its own that the page
// shares with other stamped pages is changed once for them all. Otherwise the page (written
// again anyway for its new contents) gets a new dictionary, a copy of its own or inherited one,
// and pages whose dictionaries hold the same entries (as a writer that gives every page a
// dictionary of its own makes them) get the same new one: the file then grows by a reference on
// each page rather than by a dictionary.
class ResourcesToName
{
public:
    explicit ResourcesToName(PdfMemDocument& document) : document_(document) {}

    // Notes the pages that will be stamped, before For() is asked.
    void Count(PdfObject* page)
    {
        if (const PdfObject* value = page->GetDictionary().GetKey(PdfName("Resources"));
            value && value->IsReference()) {
            ++sharing_[value->GetReference()];
        }
    }

    PdfDictionary& For(PdfObject* page)
    {
        PdfDictionary& dictionary = page->GetDictionary();
        PdfObject* value = dictionary.GetKey(PdfName("Resources"));
        PdfObject* own = Resolved(document_, value);
        if (own && own->IsDictionary() && value->IsReference()) {
            const auto shared = sharing_.find(value->GetReference());
            if (shared != sharing_.end() && shared->second > 1) {
                return own->GetDictionary();
            }
        }
        PdfObject empty{PdfDictionary()};
        PdfObject* source = own && own->IsDictionary() ? own : nullptr;
        if (!source) {
            PdfObject* parent = Resolved(document_, dictionary.GetKey(PdfName("Parent")));
            PdfObject* inherited = parent ? Inherited(document_, parent, "Resources") : nullptr;
            source = inherited && inherited->IsDictionary() ? inherited : &empty;
        }
        std::string entries;
        source->ToString(entries, ePdfWriteMode_Compact);
        auto made = made_.find(entries);
        if (made == made_.end()) {
            PdfObject* copy = document_.GetObjects().CreateObject(source->GetDictionary());
            made = made_.emplace(entries, copy).first;
        }
        dictionary.AddKey(PdfName("Resources"), made->second->Reference());
        return made->second->GetDictionary();
    }

private:
    PdfMemDocument& document_;
    std::map<PdfReference, int> sharing_;
    std::map<std::string, PdfObject*> made_;
};

PdfDictionary& SubDictionary(PdfMemDocument& document, PdfDictionary& resources, const char* key)
{
    if (PdfObject* sub = Resolved(document, resources.GetKey(PdfName(key)));
        sub && sub->IsDictionary()) {
        return sub->GetDictionary();
    }
    resources.AddKey(PdfName(key), PdfDictionary());
    return resources.GetKey(PdfName(key))->GetDictionary();
}

// The name under which `form` is known in `xobjects`, added when it is not there yet.
PdfName NameFor(PdfDictionary& xobjects, const PdfReference& form, std::size_t seal)
{
    const std::string base = "VelmrSeal" + std::to_string(seal + 1);
    for (int attempt = 0;; ++attempt) {
        const PdfName name(attempt == 0 ? base : base + "_" + std::to_string(attempt));
        const PdfObject* present = xobjects.GetKey(name);
        if (!present) {
            xobjects.AddKey(name, form);
            return name;
        }
        if (present->IsReference() && present->GetReference() == form) {
            return name;
        }
    }
}

// A number for a content stream: fixed point, without the zeros that say nothing.
std::string Number(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.endsWith('0')) {
        text.chop(1);
    }
    if (text.endsWith('.')) {
        text.chop(1);
    }
    if (text == "-0" || text.isEmpty()) {
        text = "0";
    }
    return text.toStdString();
}

// Content streams are made once for each distinct text: the same stamps on many pages share one.
class StreamPool
{
public:
    explicit StreamPool(PdfMemDocument& document) : document_(document) {}

    PdfReference Get(const std::string& operators)
    {
        const auto found = streams_.find(operators);
        if (found != streams_.end()) {
            return found->second;
        }
        PdfObject* object = document_.GetObjects().CreateObject();
        // Short enough that compressing would only add to it.
        const TVecFilters plain;
        object->GetStream()->Set(operators.data(), pdf_long(operators.size()), plain);
        streams_.emplace(operators, object->Reference());
        return object->Reference();
    }

private:
    PdfMemDocument& document_;
    std::map<std::string, PdfReference> streams_;
};

// The content streams the page draws now, in order.
PdfArray ContentsOf(PdfMemDocument& document, PdfObject* page)
{
    PdfArray contents;
    PdfObject* value = page->GetDictionary().GetKey(PdfName("Contents"));
    if (!value) {
        return contents;
    }
    if (value->IsReference()) {
        PdfObject* target = Resolved(document, value);
        if (target && target->IsArray()) {
            return target->GetArray();
        }
        contents.push_back(*value);
    } else if (value->IsArray()) {
        contents = value->GetArray();
    }
    return contents;
}

// Keeps the document's pages as they were, adding the stamps of one page after its content,
// wrapped so that what the content leaves in the graphics state does not reach them.
void StampPage(PdfMemDocument& document, PdfObject* object, const std::vector<const Stamp*>& stamps,
               const std::vector<SealForm>& forms, ResourcesToName& resources, StreamPool& pool)
{
    const PageFrame frame = FrameOf(document, object);
    PdfDictionary& xobjects = SubDictionary(document, resources.For(object), "XObject");

    PdfArray contents = ContentsOf(document, object);
    std::string operators;
    if (!contents.empty()) {
        contents.insert(contents.begin(), PdfVariant(pool.Get("q\n")));
        operators = "Q\n";
    }
    for (const Stamp* stamp : stamps) {
        const SealForm& form = forms[stamp->seal];
        const PdfName name = NameFor(xobjects, form.reference, stamp->seal);
        const QTransform m =
            PlacementMatrix(frame, stamp->centreMm, stamp->rotationDeg, form.sizePt);
        operators += "q " + Number(m.m11()) + ' ' + Number(m.m12()) + ' ' + Number(m.m21()) + ' ' +
                     Number(m.m22()) + ' ' + Number(m.dx()) + ' ' + Number(m.dy()) + " cm /" +
                     name.GetName() + " Do Q\n";
    }
    contents.push_back(PdfVariant(pool.Get(operators)));
    object->GetDictionary().AddKey(PdfName("Contents"), contents);
}

// Blend modes came with PDF 1.4: an older document says in its catalog that it now needs 1.4
// (the header, among the original bytes, stays as it was).
void NeedBlendModes(PdfMemDocument& document)
{
    if (document.GetPdfVersion() >= ePdfVersion_1_4) {
        return;
    }
    PdfObject* catalog = document.GetCatalog();
    if (!catalog || !catalog->IsDictionary()) {
        return;
    }
    const PdfObject* version =
        Resolved(document, catalog->GetDictionary().GetKey(PdfName("Version")));
    if (version && version->IsName() && version->GetName().GetName() >= "1.4") {
        return;
    }
    catalog->GetDictionary().AddKey(PdfName("Version"), PdfName("1.4"));
}

bool LooksLikePdf(const QByteArray& bytes)
{
    return bytes.left(kHeaderWindow).contains("%PDF-");
}

Stamped Failure(const QString& message)
{
    return Stamped{{}, message};
}

QString NeedsPassword()
{
    return QStringLiteral("この PDF はパスワードで保護されています。パスワードを指定してください");
}

QString WrongPassword()
{
    return QStringLiteral("パスワードが違います");
}

// RC4, which the older standard security handlers (and the password check of AES-128) use, lives
// in OpenSSL's legacy provider since OpenSSL 3; loading it also keeps the default one. Both stay
// loaded for the life of the program.
void EnableOlderCiphers()
{
    static OSSL_PROVIDER* const legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    static OSSL_PROVIDER* const standard = OSSL_PROVIDER_load(nullptr, "default");
    (void)legacy;
    (void)standard;
}

// The document's own security handler, as authenticated on loading, for a writer that adds a
// revision: the key is never generated again (that would make new owner and user entries and a
// new key, and the earlier revisions unreadable), and the encryption dictionary written has the
// original's entries. Strings and streams are encrypted with the number of the object being
// written, which the writer sets as the current reference.
class KeptEncryption final : public PdfEncrypt
{
public:
    explicit KeptEncryption(const PdfEncrypt& original)
        : m_original(PdfEncrypt::CreatePdfEncrypt(original))
    {
        m_eAlgorithm = original.GetEncryptAlgorithm();
        m_keyLength = original.GetKeyLength() / 8;
        m_rValue = original.GetRevision();
        m_pValue = original.GetPValue();
        m_bEncryptMetadata = original.IsMetadataEncrypted();
        std::memcpy(m_uValue, original.GetUValue(), sizeof m_uValue);
        std::memcpy(m_oValue, original.GetOValue(), sizeof m_oValue);
        std::memcpy(m_encryptionKey, original.GetEncryptionKey(), sizeof m_encryptionKey);
    }
    KeptEncryption(const KeptEncryption&) = delete;
    KeptEncryption& operator=(const KeptEncryption&) = delete;
    ~KeptEncryption() override = default;

    void GenerateEncryptionKey(const PdfString&) override {}
    void CreateEncryptionDictionary(PdfDictionary& dictionary) const override
    {
        m_original->CreateEncryptionDictionary(dictionary);
    }
    PdfOutputStream* CreateEncryptionOutputStream(PdfOutputStream* stream) override
    {
        return Current().CreateEncryptionOutputStream(stream);
    }
    PdfInputStream* CreateEncryptionInputStream(PdfInputStream* stream) override
    {
        return Current().CreateEncryptionInputStream(stream);
    }
    bool Authenticate(const std::string&, const PdfString&) override { return false; }
    void Encrypt(const unsigned char* in, pdf_long inLength, unsigned char* out,
                 pdf_long outLength) const override
    {
        Current().Encrypt(in, inLength, out, outLength);
    }
    void Decrypt(const unsigned char* in, pdf_long inLength, unsigned char* out,
                 pdf_long& outLength) const override
    {
        Current().Decrypt(in, inLength, out, outLength);
    }
    pdf_long CalculateStreamLength(pdf_long length) const override
    {
        return m_original->CalculateStreamLength(length);
    }
    pdf_long CalculateStreamOffset() const override { return m_original->CalculateStreamOffset(); }

private:
    PdfEncrypt& Current() const
    {
        m_original->SetCurrentReference(m_curReference);
        return *m_original;
    }

    std::unique_ptr<PdfEncrypt> m_original;
};

// A writer of one more revision of an encrypted document, with the document's own key.
class EncryptedUpdateWriter final : public PdfWriter
{
public:
    EncryptedUpdateWriter(PdfMemDocument& document, std::unique_ptr<PdfEncrypt> encryption)
        : PdfWriter(&document.GetObjects(), document.GetTrailer())
    {
        m_pEncrypt = encryption.release(); // the writer's to delete
    }
};

// How the original ends: where its last cross-reference section is and whether it is a stream.
struct OriginalEnd
{
    pdf_long xrefOffset = 0;
    bool xrefStream = false;
};

OriginalEnd EndOf(const QByteArray& original, const QByteArray& password)
{
    PdfVecObjects objects;
    objects.SetAutoDelete(true);
    PdfParser parser(&objects);
    try {
        parser.ParseFile(original.constData(), long(original.size()), true);
    } catch (const PdfError& error) {
        if (error.GetError() != ePdfError_InvalidPassword) {
            throw;
        }
        parser.SetPassword(password.toStdString());
    }
    return OriginalEnd{parser.GetXRefOffset(), parser.HasXRefStream()};
}

// The encrypted document's new revision after the original's bytes, strings and streams of the
// objects written encrypted with the original key.
QByteArray WriteEncryptedUpdate(PdfMemDocument& document, const QByteArray& original,
                                const QByteArray& password)
{
    const OriginalEnd end = EndOf(original, password);
    EncryptedUpdateWriter writer(document,
                                 std::make_unique<KeptEncryption>(*document.GetEncrypt()));
    writer.SetPdfVersion(document.GetPdfVersion());
    writer.SetWriteMode(document.GetWriteMode());
    writer.SetIncrementalUpdate(true);
    writer.SetPrevXRefOffset(end.xrefOffset);
    // As PoDoFo updates an unencrypted document: after a cross-reference stream, a complete
    // table, every object that lay in an object stream written again as an object of its own.
    writer.SetUseXRefStream(false);
    PdfRefCountedBuffer buffer;
    PdfOutputDevice device(&buffer);
    PdfInputDevice source(original.constData(), std::size_t(original.size()));
    writer.WriteUpdate(&device, &source, end.xrefStream);
    return QByteArray(buffer.GetBuffer(), qsizetype(device.GetLength()));
}

// Whether poppler opens `bytes` with `password`, finds `pageCount` pages and draws `page`.
bool ReadersOpen(const QByteArray& bytes, const QByteArray& password, int pageCount, int page)
{
    const std::unique_ptr<Poppler::Document> document =
        Poppler::Document::loadFromData(bytes, password, password);
    if (!document || document->isLocked() || document->numPages() != pageCount) {
        return false;
    }
    const std::unique_ptr<Poppler::Page> drawn = document->page(page);
    return drawn && !drawn->renderToImage(18.0, 18.0).isNull();
}

// PoDoFo reads an encrypted document for an update completely (objects, pages, the security
// handler authenticated) and only then refuses, as it cannot write such an update itself; the
// document is used, with EncryptedUpdateWriter, when it is indeed complete.
std::optional<QString> ReadEncrypted(PdfMemDocument& document)
{
    const bool complete = document.GetEncrypt() && document.GetTrailer() && document.GetCatalog() &&
                          !document.GetObjects().GetCanReuseObjectNumbers();
    return complete ? std::nullopt : std::optional<QString>(CannotUpdateEncrypted());
}

// Opens `original` for an incremental update; a message when it cannot be opened. `opensWith`:
// the password it was opened with, empty when it needed none.
std::optional<QString> Open(PdfMemDocument& document, const QByteArray& original,
                            const QByteArray& password, QByteArray* opensWith)
{
    try {
        document.LoadFromBuffer(original.constData(), long(original.size()), true);
        return std::nullopt;
    } catch (const PdfError& error) {
        if (error.GetError() == ePdfError_CannotEncryptedForUpdate) {
            return ReadEncrypted(document);
        }
        if (error.GetError() != ePdfError_InvalidPassword) {
            return MessageFor(error);
        }
    } catch (const std::exception&) {
        return Damaged();
    }
    if (password.isEmpty()) {
        return NeedsPassword();
    }
    *opensWith = password;
    try {
        document.SetPassword(password.toStdString());
        return std::nullopt;
    } catch (const PdfError& error) {
        if (error.GetError() == ePdfError_CannotEncryptedForUpdate) {
            return ReadEncrypted(document);
        }
        if (error.GetError() == ePdfError_InvalidPassword) {
            return WrongPassword();
        }
        return MessageFor(error);
    } catch (const std::exception&) {
        return Damaged();
    }
}

} // namespace

Stamped StampPdf(const QByteArray& original, const QByteArray& password,
                 const StampRequest& request)
{
    PdfError::EnableLogging(false);
    PdfError::EnableDebug(false);
    if (!LooksLikePdf(original)) {
        return Failure(NotPdf());
    }
    EnableOlderCiphers();
    // Held so that it can go, with its own copy of the original, before the result is copied
    // out: a large file is then in memory three times at most rather than four.
    std::optional<PdfMemDocument> loaded;
    loaded.emplace();
    PdfMemDocument& document = *loaded;
    QByteArray opensWith;
    if (const std::optional<QString> problem = Open(document, original, password, &opensWith)) {
        return Failure(*problem);
    }
    const bool encrypted = document.GetEncrypt() != nullptr;
    try {
        const int pageCount = document.GetPageCount();
        for (const Stamp& stamp : request.stamps) {
            if (stamp.page != kEveryPage && (stamp.page < 0 || stamp.page >= pageCount)) {
                return Failure(QStringLiteral("%1 ページ目はありません (この PDF は %2 ページです)")
                                   .arg(stamp.page + 1)
                                   .arg(pageCount));
            }
            if (!std::isfinite(stamp.centreMm.x()) || !std::isfinite(stamp.centreMm.y()) ||
                !std::isfinite(stamp.rotationDeg)) {
                return Failure(QStringLiteral("押す位置か角度が正しくありません"));
            }
            if (stamp.seal >= request.seals.size() || !request.seals[stamp.seal] ||
                request.seals[stamp.seal]->InkRect().isEmpty()) {
                return Failure(QStringLiteral("押す印影に何も描かれていません"));
            }
        }
        if (request.stamps.empty()) {
            return Stamped{original, {}};
        }

        // One form for each distinct seal that is used, however often.
        std::vector<SealForm> forms(request.seals.size());
        std::map<const output::SealArtwork*, SealForm> made;
        for (const Stamp& stamp : request.stamps) {
            const output::SealArtwork* art = request.seals[stamp.seal].get();
            auto found = made.find(art);
            if (found == made.end()) {
                found = made.emplace(art, AddSealForm(document, *art)).first;
            }
            forms[stamp.seal] = found->second;
        }

        std::map<int, std::vector<const Stamp*>> byPage;
        for (const Stamp& stamp : request.stamps) {
            if (stamp.page == kEveryPage) {
                for (int page = 0; page < pageCount; ++page) {
                    byPage[page].push_back(&stamp);
                }
            } else {
                byPage[stamp.page].push_back(&stamp);
            }
        }
        NeedBlendModes(document);
        std::map<int, PdfObject*> pages;
        ResourcesToName resources(document);
        for (const auto& entry : byPage) {
            pages[entry.first] = document.GetPage(entry.first)->GetObject();
            resources.Count(pages[entry.first]);
        }
        StreamPool pool(document);
        for (const auto& [page, stamps] : byPage) {
            StampPage(document, pages[page], stamps, forms, resources, pool);
        }

        QByteArray bytes;
        if (encrypted) {
            bytes = WriteEncryptedUpdate(document, original, opensWith);
            loaded.reset();
        } else {
            PdfRefCountedBuffer buffer;
            PdfOutputDevice device(&buffer);
            document.WriteUpdate(&device, true);
            const qsizetype length = qsizetype(device.GetLength());
            loaded.reset();
            bytes = QByteArray(buffer.GetBuffer(), length);
        }
        // The whole point of the update: the original stays, byte for byte, at the start.
        if (bytes.size() <= original.size() || !bytes.startsWith(original)) {
            return Failure(encrypted ? CannotUpdateEncrypted() : CannotUpdate());
        }
        // Never a file that readers cannot open: the revision written with the original key
        // must open with the same password and draw a stamped page.
        if (encrypted && !ReadersOpen(bytes, opensWith, pageCount, byPage.begin()->first)) {
            return Failure(CannotUpdateEncrypted());
        }
        return Stamped{bytes, {}};
    } catch (const PdfError& error) {
        return Failure(MessageFor(error));
    } catch (const std::bad_alloc&) {
        return Failure(QStringLiteral("メモリーが足りません"));
    } catch (const std::exception&) {
        return Failure(Damaged());
    }
}

std::optional<QString> StampPdfFile(const QString& inputPath, const QByteArray& password,
                                    const StampRequest& request, const QString& outputPath)
{
    QFile input(inputPath);
    if (!input.open(QIODevice::ReadOnly)) {
        return QStringLiteral("%1 を読めません: %2").arg(inputPath, input.errorString());
    }
    const QByteArray original = input.readAll();
    if (input.error() != QFileDevice::NoError) {
        return QStringLiteral("%1 を読めません: %2").arg(inputPath, input.errorString());
    }
    input.close();
    const Stamped stamped = StampPdf(original, password, request);
    if (!stamped.error.isEmpty()) {
        return QStringLiteral("%1: %2").arg(inputPath, stamped.error);
    }
    QString message;
    if (!platform::WriteFileAtomically(outputPath, stamped.bytes, &message)) {
        return message.isEmpty() ? QStringLiteral("%1 に書き込めません").arg(outputPath) : message;
    }
    return std::nullopt;
}

} // namespace velmr::stamp
