#pragma once

#include <QString>

namespace qp {

// A work item: one document's full path, converted when executed.
class ParseObject {
public:
    virtual ~ParseObject() = default;
    // Remembers the document's full path.
    virtual void init(const QString& fileName) = 0;
    // Converts the document through a converter wrapped in a decorator.
    virtual void Execute() = 0;
    // The path given to init.
    virtual QString fileName() const = 0;
};

// The batch work item: converts with the batch converter (DecObj).
class ParseObject1 : public ParseObject {
public:
    void init(const QString& fileName) override { fileName_ = fileName; }
    void Execute() override;
    QString fileName() const override { return fileName_; }

private:
    QString fileName_;
};

// The single-document work item: converts with the single converter (DecObj2).
class ParseObject2 : public ParseObject {
public:
    void init(const QString& fileName) override { fileName_ = fileName; }
    void Execute() override;
    QString fileName() const override { return fileName_; }

private:
    QString fileName_;
};

} // namespace qp
