#pragma once

#include <QtGlobal>

// One block of record data on its way between a transfer channel and its file worker. The bytes
// are one allocation of the block's length; whoever holds the block frees them with release().
struct DataBlock
{
    char* data = nullptr;
    int length = 0;

    bool isNull() const { return data == nullptr; }

    // Zero-filled, so the tail of a block read past the end of a file is defined.
    static DataBlock allocate(int length)
    {
        DataBlock block;
        if (length > 0) {
            block.data = new char[size_t(length)]();
            block.length = length;
        }
        return block;
    }

    // For bytes that are all overwritten at once: no pass over the block before its data.
    static DataBlock allocateUninitialized(int length)
    {
        DataBlock block;
        if (length > 0) {
            block.data = new char[size_t(length)];
            block.length = length;
        }
        return block;
    }

    void release()
    {
        delete[] data;
        data = nullptr;
        length = 0;
    }
};
