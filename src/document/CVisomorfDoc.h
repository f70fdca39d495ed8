#pragma once
// The single document: owner of every piece of model state (photos, feature points, boxes,
// blend zone, the editable and displayed meshes, textures, subdivision tables and the undo
// history). Views read its fields and change the model only through its operations.
#include "document/DocumentCommands.h"
#include "document/DocumentTypes.h"
#include "document/FeatureSet.h"
#include "document/RefinementPlan.h"
#include "document/SubdivisionStage.h"
#include "document/UndoHistory.h"
#include "platform/core/VMath.h"
#include "platform/mesh/Mesh.h"
#include "platform/mesh/MeshServices.h"
#include "platform/raster/SoftwareDevice.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vm {

class CVisomorfDoc;

// What the document needs of a view. Photo views say which photo they show; the 3D view
// answers the Edit in 3D window commands.
class CDocumentView {
public:
    virtual ~CDocumentView() = default;
    virtual void OnUpdate(CDocumentView* sender, int hint) = 0;
    // Photo views only: scale the photo to the window.
    virtual void FitToWindow() {}
    // Front or Side for a photo view, -1 for any other view.
    virtual int PhotoViewIndex() const { return -1; }
    virtual bool Is3DView() const { return false; }
    // True between the press that starts a drag and its release or cancel. While any view
    // drags, commands that replace or rewind the model are refused.
    virtual bool IsDragging() const { return false; }

    // 3D view only.
    virtual bool EditMode() const { return false; }
    virtual void SetEditMode(bool) {}
    virtual void FixDirection() {}
    virtual void ResetModifications() {}
    virtual void EditModificationSettings() {}
};

class CVisomorfDoc {
public:
    // initialModelDetail: the settings value "Initial model detail" (1 Low .. 3 High).
    explicit CVisomorfDoc(int initialModelDetail = 1);
    ~CVisomorfDoc();
    CVisomorfDoc(const CVisomorfDoc&) = delete;
    CVisomorfDoc& operator=(const CVisomorfDoc&) = delete;

    // ---- Lifecycle ----
    // Builds a new document from the embedded head; a failure is reported through
    // reportFailure and leaves what the steps before it built.
    bool OnNewDocument();
    void DeleteContents();
    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true) { m_modified = modified; }
    QString GetPathName() const { return m_pathName; }
    void SetPathName(const QString& path) { m_pathName = path; }

    // Photo size in pixels, or 600 x 800 for an empty slot.
    QSize GetPhotoSize(int photo) const;

    // ---- Views ----
    void AddView(CDocumentView* view);
    void RemoveView(CDocumentView* view);
    const std::vector<CDocumentView*>& Views() const { return m_views; }
    void UpdateAllViews(CDocumentView* sender = nullptr, int hint = 0);
    CDocumentView* Find3DView() const;
    bool IsDragInProgress() const;
    void FitPhotoViewsToWindow(int photo); // photo -1: every photo view

    // ---- Hooks the application sets ----
    // Shows a failure's message (a message box in the GUI, stderr on the command line).
    std::function<void(const QString&)> reportFailure;
    // Asks for the deferred 3D redraw (the application's redraw flag).
    std::function<void()> requestRedraw3D;
    // The subdivision settings dialog: the current options in, the confirmed ones out, or
    // nothing when cancelled.
    std::function<std::optional<SubdivisionOptions>(const SubdivisionOptions&)>
        editSubdivisionOptions;
    // The photo file dialog: the chosen path, or an empty string when cancelled.
    std::function<QString(int photo)> choosePhotoFile;
    void RequestRedraw3D();

    // ---- Commands ----
    // Runs a command; false for an id the document does not handle. Failures propagate.
    bool OnCommand(CommandId id);
    CommandState GetCommandState(CommandId id) const;
    // Like OnCommand, but a failure is shown through reportFailure.
    bool RunCommand(CommandId id);
    // Undo, Redo, photo loading and the 3D reset: refused while a view drags.
    static bool RewindsOrReplacesModel(CommandId id);

    // ---- Fitting ----
    void ComputeVertexWeights(const HeadVertex* vertices, uint32_t count);
    void ComputeTextureCoords(HeadVertex* vertices, uint32_t count);
    void UpdateBoxFromPoints(int photo);
    void CollectPointWeights(int photo, int32_t point, PointWeightMap& pointWeights) const;
    void CollectFeatureWeights(int photo, int32_t feature, PointWeightMap& pointWeights) const;
    void CollectVertexWeights(int photo, const PointWeightMap& pointWeights,
                              VertexWeightMap& vertexWeights) const;
    // dx, dy in photo pixels.
    void MovePoints(int photo, const PointWeightMap& pointWeights,
                    const VertexWeightMap& vertexWeights, float dx, float dy);
    // The new box in photo pixels.
    void SetBox(int photo, float left, float top, float right, float bottom);
    void FitBoxToPhoto(int photo);
    bool IsPointShown(int photo, int32_t point) const;
    // Model offsets from the editable mesh's bounds, every point at its bound vertex's place in
    // its photo, and each box around its points.
    void PlacePointsFromMesh();
    // boundingCentre and boundingRadius around the editable mesh as it is now. New, Open, a
    // photo load and the automatic fit call it; a drag does not, so the 3D view stays still
    // while the user moves the head.
    void UpdateBounds();

    // ---- Level of detail and subdivision ----
    void RebuildDisplayMesh();
    // A new refined mesh of the editable mesh at Medium (one stage) or High (two).
    Mesh SubdivideMesh();
    void SetSubdivisionOptions(const SubdivisionOptions& options);
    SubdivisionOptions GetSubdivisionOptions() const;
    void SetModelDetail(int32_t detail);

    // ---- Undo and redo ----
    void CaptureState(UndoSnapshot& snapshot) const;
    void ApplySnapshot(const UndoSnapshot& snapshot);
    void SaveSnapshot();
    void CommitChange();
    void RestoreSnapshot();
    void Undo();
    void Redo();
    bool CanUndo() const;
    bool CanRedo() const;
    // The steps recorded and where the document is in them.
    const UndoHistory& History() const { return m_history; }
    UndoHistory& History() { return m_history; }

    // ---- Photos and textures ----
    void CreateDevice();
    // Decodes the file and replaces the photo; on any failure the document is left unchanged.
    void LoadPhoto(int photo, const QString& path);
    // Replaces a photo with another version of it (resampled, turned or mirrored; its JPEG file
    // in jpegBytes, which may be empty). The photo's points, box, texture coordinates and, for
    // the side photo, the blend zone are carried by pointTransform (old photo pixels to new),
    // which must not mirror: the model itself does not move. Records no history. On a failure
    // the document is left as it was.
    void ReplacePhoto(int photo, const QImage& image, const QByteArray& jpegBytes,
                      const PhotoTransform& pointTransform);
    // Repaints the side texture's alpha from the blend zone.
    void UpdateBlendZone();

    // ---- Model state (plain fields, in the order of the document's data model) ----
    QImage photos[kPhotoCount];
    // The photo's JPEG file as it came (from a photo file or a document), so that saving never
    // encodes it again; empty when the photo came from another format or there is none.
    QByteArray photoJpegBytes[kPhotoCount];
    std::vector<FeaturePoint> points[kPhotoCount];
    std::vector<Feature> features[kPhotoCount];
    std::vector<Vec2> pointPositions[kPhotoCount]; // photo pixels
    Vec2 modelOffset[kPhotoCount];                 // photo pixels of the model origin
    Box box[kPhotoCount];                          // photo pixels
    std::vector<Vec2> blendZone;                   // side-photo pixels
    float blendZoneWidth = 100;
    // Sum of the push/pull moves per editable-mesh vertex since the last reset (model units);
    // empty until the first push/pull. Kept here rather than in the 3D view so that undo, redo
    // and a new or opened document keep it in step with the vertices it describes.
    std::vector<Vec3> displacements;
    int32_t wholeObjectFeature = 0;
    bool showBox = true;
    bool showFeatures = false;
    int32_t pointsLevel = 0;
    bool showBlendZone = true;
    bool wireframe = false;
    bool lighting = false;
    bool orthogonal = true;
    int32_t modelDetail = Low;
    bool leftSide = false;
    bool sharpenNose = false, sharpenLips = false, sharpenEyebrow = false;
    // What CreateDevice gives the device: the 3D view puts its graphics context's texture
    // limit here.
    DeviceCaps deviceCaps;
    std::shared_ptr<SoftwareDevice> device;
    std::shared_ptr<Mesh> editableMesh;
    // Same object as editableMesh at Low.
    std::shared_ptr<Mesh> displayedMesh;
    std::vector<uint32_t> adjacency;
    std::shared_ptr<Texture> textures[kPhotoCount];
    uint32_t numMaterials = 0;
    Vec3 boundingCentre;
    float boundingRadius = 0;
    bool hardwareNPatches = false;
    SubdivisionStage stage1, stage2;
    bool stage1Loaded = false, stage2Loaded = false;

private:
    void NewDocumentSteps();
    void LoadDefaultFeatureSet();
    void LoadHeadMesh();
    void CollectFeatureWeights(int photo, int32_t feature, PointWeightMap& pointWeights,
                               std::vector<bool>& visitedFeatures) const;
    void EnsureStagesLoaded(bool needStage2);
    void UpdateEditableNormals();
    bool ToggleDisplaySwitch(CommandId id);
    bool RunEdit3DCommand(CommandId id);
    void RunSubdivisionSettings();
    void RunLoadPhotoCommand(int photo);
    void MakeBlankTexture(int photo);
    void RestoreState(const UndoSnapshot& snapshot);
    bool RestorePhotos(const UndoSnapshot& snapshot);
    void KeepPhotoInHistory(int photo);
    void RescalePhotoCoordinates(int photo, QSize oldSize, QSize newSize);
    void CheckPhoto(int photo) const;

    bool m_modified = false;
    QString m_pathName;
    std::vector<CDocumentView*> m_views;
    UndoHistory m_history;
    // Fast refinement: the stages flattened once, the displayed mesh's storage reused.
    RefinementPlan m_plan1, m_plan2;
    MeshRefiner m_refiner;
    std::shared_ptr<Mesh> m_refinedMesh;
    NormalPlan m_normalPlan;
};

} // namespace vm
