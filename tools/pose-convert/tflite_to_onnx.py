#!/usr/bin/env python3
"""Convert a pose network (the landmark network or the person detector) from its TFLite flatbuffer to an ONNX
file OpenCV's DNN module reads.

The flatbuffer is read by following the TFLite schema's field slots directly (no generated schema package):
  Model:          1 operator_codes, 2 subgraphs, 4 buffers
  OperatorCode:   0 deprecated_builtin_code (byte), 3 builtin_code (int)
  SubGraph:       0 tensors, 1 inputs, 2 outputs, 3 operators
  Tensor:         0 shape, 1 type, 2 buffer, 3 name, 6 sparsity
  Sparsity:       0 traversal_order, 1 block_map, 2 dim_metadata
  DimMetadata:    0 format (0 dense, 1 CSR), 1 dense_size, 2/3 array_segments (union type, table),
                  4/5 array_indices (union type, table); a union's table holds its values in slot 0
  Buffer:         0 data
  Operator:       0 opcode_index, 1 inputs, 2 outputs, 3 builtin_options_type, 4 builtin_options

The ONNX graph is NCHW (TFLite is NHWC), opset 11, and written in the forms OpenCV 4.6 understands:
fp16 constants folded to fp32 initialisers (sparse ones densified first), asymmetric "SAME" padding as an explicit Pad before a VALID
convolution, ReLU6 as Clip with min/max attributes, bilinear resizing with half-pixel centres.

Usage: tflite_to_onnx.py MODEL.tflite OUT.onnx [OUTPUT_NAME ...]
Only the named outputs are kept (default: every output of the model) and nodes that feed none of them are
left out.
"""

import sys

import flatbuffers
import numpy as np
import onnx
from flatbuffers import number_types as nt
from flatbuffers.table import Table
from onnx import TensorProto, helper, numpy_helper

# Builtin operator codes and option table kinds of the TFLite schema.
OP_ADD, OP_CONCATENATION, OP_CONV_2D, OP_DEPTHWISE_CONV_2D, OP_DEPTH_TO_SPACE, OP_DEQUANTIZE = 0, 2, 3, 4, 5, 6
OP_LOGISTIC, OP_MAX_POOL_2D, OP_RESHAPE, OP_RESIZE_BILINEAR, OP_PAD = 14, 17, 22, 23, 34
OP_DENSIFY = 124
OPTIONS_KIND = {OP_CONV_2D: 1, OP_DEPTHWISE_CONV_2D: 2, OP_MAX_POOL_2D: 5, OP_CONCATENATION: 10, OP_ADD: 11,
                OP_RESIZE_BILINEAR: 15, OP_DEPTH_TO_SPACE: 94}

PADDING_SAME = 0
ACT_NONE, ACT_RELU, ACT_RELU6 = 0, 1, 3

TYPE_FLOAT32, TYPE_FLOAT16, TYPE_INT32 = 0, 1, 2
NUMPY_TYPE = {TYPE_FLOAT32: np.float32, TYPE_FLOAT16: np.float16, TYPE_INT32: np.int32}

DIM_DENSE, DIM_SPARSE_CSR = 0, 1
# SparseIndexVector union members: Int32Vector, Uint16Vector, Uint8Vector.
INDEX_TYPE = {1: (nt.Int32Flags, 4), 2: (nt.Uint16Flags, 2), 3: (nt.Uint8Flags, 1)}
NHWC_TO_NCHW = [0, 3, 1, 2]
NCHW_TO_NHWC = [0, 2, 3, 1]


class ConversionError(Exception):
    pass


class Node:
    """One flatbuffer table, read through its vtable slots."""

    def __init__(self, buf, pos):
        self.t = Table(buf, pos)

    def _off(self, slot):
        return self.t.Offset(4 + 2 * slot)

    def scalar(self, slot, flags, default=0):
        off = self._off(slot)
        return self.t.Get(flags, self.t.Pos + off) if off else default

    def string(self, slot):
        off = self._off(slot)
        return self.t.String(self.t.Pos + off).decode("utf-8") if off else ""

    def table(self, slot):
        off = self._off(slot)
        return Node(self.t.Bytes, self.t.Indirect(self.t.Pos + off)) if off else None

    def tables(self, slot):
        off = self._off(slot)
        if not off:
            return []
        start, count = self.t.Vector(off), self.t.VectorLen(off)
        return [Node(self.t.Bytes, self.t.Indirect(start + 4 * i)) for i in range(count)]

    def ints(self, slot):
        off = self._off(slot)
        if not off:
            return []
        start, count = self.t.Vector(off), self.t.VectorLen(off)
        return [self.t.Get(nt.Int32Flags, start + 4 * i) for i in range(count)]

    def numbers(self, slot, flags, width):
        off = self._off(slot)
        if not off:
            return []
        start, count = self.t.Vector(off), self.t.VectorLen(off)
        return [self.t.Get(flags, start + width * i) for i in range(count)]

    def raw(self, slot):
        off = self._off(slot)
        if not off:
            return b""
        start, count = self.t.Vector(off), self.t.VectorLen(off)
        return bytes(self.t.Bytes[start:start + count])


def read_model(data):
    buf = bytearray(data)
    if len(buf) < 8 or buf[4:8] != b"TFL3":
        raise ConversionError("not a TFLite model (file identifier TFL3 missing)")
    model = Node(buf, flatbuffers.encode.Get(nt.UOffsetTFlags.packer_type, buf, 0))
    codes = [max(oc.scalar(0, nt.Int8Flags), oc.scalar(3, nt.Int32Flags)) for oc in model.tables(1)]
    buffers = [b.raw(0) for b in model.tables(4)]
    subgraphs = model.tables(2)
    if len(subgraphs) != 1:
        raise ConversionError(f"expected one subgraph, found {len(subgraphs)}")
    sg = subgraphs[0]
    tensors = []
    for t in sg.tables(0):
        tensors.append({"shape": t.ints(0), "type": t.scalar(1, nt.Int8Flags), "buffer": t.scalar(2, nt.Uint32Flags),
                        "name": t.string(3), "sparsity": read_sparsity(t.table(6))})
    ops = []
    for op in sg.tables(3):
        ops.append({"code": codes[op.scalar(0, nt.Uint32Flags)], "inputs": op.ints(1), "outputs": op.ints(2),
                    "options_kind": op.scalar(3, nt.Uint8Flags), "options": op.table(4)})
    return tensors, buffers, sg.ints(1), sg.ints(2), ops


def read_sparsity(sp):
    """The sparse layout of a constant tensor, or None for a dense one."""
    if sp is None:
        return None
    dims = []
    for d in sp.tables(2):
        entry = {"format": d.scalar(0, nt.Int8Flags), "dense_size": d.scalar(1, nt.Int32Flags)}
        if entry["format"] == DIM_SPARSE_CSR:
            for key, type_slot in (("segments", 2), ("indices", 4)):
                kind = d.scalar(type_slot, nt.Uint8Flags)
                values = d.table(type_slot + 1)
                if kind not in INDEX_TYPE or values is None:
                    raise ConversionError(f"sparse tensor with index vector kind {kind}")
                entry[key] = values.numbers(0, *INDEX_TYPE[kind])
        dims.append(entry)
    return {"traversal_order": sp.ints(0), "block_map": sp.ints(1), "dims": dims}


def densify(values, shape, sparsity):
    """Expand TFLite's sparse storage (dense and CSR dimensions in traversal order) into a dense array."""
    order, dims = sparsity["traversal_order"], sparsity["dims"]
    if sparsity["block_map"] or len(order) != len(shape) or sorted(order) != list(range(len(shape))):
        raise ConversionError("sparse tensor with blocks or an unusual traversal order")
    dense = np.zeros(shape, values.dtype)
    index = [0] * len(shape)

    def walk(level, position):
        dim = order[level]
        meta = dims[level]
        if meta["format"] == DIM_DENSE:
            children = [(i, position * meta["dense_size"] + i) for i in range(meta["dense_size"])]
        else:
            segments, indices = meta["segments"], meta["indices"]
            children = [(indices[k], k) for k in range(segments[position], segments[position + 1])]
        for coordinate, child in children:
            if not 0 <= coordinate < shape[dim]:
                raise ConversionError("sparse tensor index out of range")
            index[dim] = coordinate
            if level + 1 == len(order):
                if child >= len(values):
                    raise ConversionError("sparse tensor with fewer values than its indices")
                dense[tuple(index)] = values[child]
            else:
                walk(level + 1, child)

    walk(0, 0)
    return dense


def same_pads(size, kernel, stride, dilation):
    """TFLite's SAME padding: the output is ceil(size / stride) and any odd pixel goes at the end."""
    out = -(-size // stride)
    total = max((out - 1) * stride + (kernel - 1) * dilation + 1 - size, 0)
    return total // 2, total - total // 2


class Converter:
    def __init__(self, tensors, buffers):
        self.tensors = tensors
        self.buffers = buffers
        self.consts = {}  # tensor index -> numpy array in TFLite layout (fp32 after dequantising)
        self.nodes = []
        self.initializers = []
        self.serial = 0

    def fresh(self, stem):
        self.serial += 1
        return f"{stem}__{self.serial}"

    def name(self, index):
        return f"t{index}"

    def const_of(self, index):
        if index in self.consts:
            return self.consts[index]
        t = self.tensors[index]
        data = self.buffers[t["buffer"]] if t["buffer"] < len(self.buffers) else b""
        if not data:
            return None
        if t["type"] not in NUMPY_TYPE:
            raise ConversionError(f"tensor {t['name']}: unsupported constant type {t['type']}")
        arr = np.frombuffer(data, dtype=NUMPY_TYPE[t["type"]])
        # A sparse constant keeps only its stored values until DENSIFY expands it.
        arr = arr if t["sparsity"] else arr.reshape(t["shape"])
        self.consts[index] = arr
        return arr

    def add_init(self, stem, array):
        name = self.fresh(stem)
        self.initializers.append(numpy_helper.from_array(np.ascontiguousarray(array), name))
        return name

    def emit(self, op, inputs, outputs, **attrs):
        self.nodes.append(helper.make_node(op, inputs, outputs, name=self.fresh(op), **attrs))

    def activation(self, kind, src, dst):
        if kind == ACT_NONE:
            return False
        if kind == ACT_RELU:
            self.emit("Relu", [src], [dst])
        elif kind == ACT_RELU6:
            # OpenCV 4.6 reads Clip's bounds only from attributes (the pre-opset-11 form).
            self.emit("Clip", [src], [dst], min=0.0, max=6.0)
        else:
            raise ConversionError(f"unsupported fused activation {kind}")
        return True

    def with_activation(self, kind, dst):
        """Name for an op's own result: dst itself, or a temporary the activation then reads."""
        return self.fresh("pre_act") if kind != ACT_NONE else dst

    def spatial_pads(self, src_index, kh, kw, sh, sw, dh, dw, same):
        if not same:
            return [0, 0, 0, 0]
        _, h, w, _ = self.tensors[src_index]["shape"]
        top, bottom = same_pads(h, kh, sh, dh)
        left, right = same_pads(w, kw, sw, dw)
        return [top, left, bottom, right]

    def padded_input(self, src, pads):
        """Symmetric padding stays in the op; asymmetric padding becomes an explicit Pad in front."""
        if pads[0] == pads[2] and pads[1] == pads[3]:
            return src, pads
        out = self.fresh("pad")
        nchw = [0, 0, pads[0], pads[1], 0, 0, pads[2], pads[3]]
        self.emit("Pad", [src, self.add_init("pads", np.array(nchw, np.int64))], [out], mode="constant")
        return out, [0, 0, 0, 0]

    def convert_op(self, op):
        code, ins, outs, opts = op["code"], op["inputs"], op["outputs"], op["options"]
        if code in OPTIONS_KIND and op["options_kind"] != OPTIONS_KIND[code]:
            raise ConversionError(f"operator {code}: options of kind {op['options_kind']}")
        dst = self.name(outs[0])

        if code == OP_DENSIFY:
            t = self.tensors[ins[0]]
            values = self.const_of(ins[0])
            if values is None or not t["sparsity"]:
                raise ConversionError("DENSIFY of a tensor that is not a sparse constant")
            self.consts[outs[0]] = densify(values, t["shape"], t["sparsity"])
            return

        if code == OP_DEQUANTIZE:
            arr = self.const_of(ins[0])
            if arr is None:
                raise ConversionError("DEQUANTIZE of a computed tensor")
            self.consts[outs[0]] = arr.astype(np.float32)
            return

        if code in (OP_CONV_2D, OP_DEPTHWISE_CONV_2D):
            weight, bias = self.const_of(ins[1]), self.const_of(ins[2]) if len(ins) > 2 and ins[2] >= 0 else None
            if weight is None:
                raise ConversionError("convolution with computed weights")
            if code == OP_CONV_2D:
                padding, sw, sh, act = (opts.scalar(0, nt.Int8Flags), opts.scalar(1, nt.Int32Flags),
                                        opts.scalar(2, nt.Int32Flags), opts.scalar(3, nt.Int8Flags))
                dw, dh = opts.scalar(4, nt.Int32Flags, 1), opts.scalar(5, nt.Int32Flags, 1)
                w = weight.transpose(0, 3, 1, 2)  # OHWI -> OIHW
                group = 1
            else:
                padding, sw, sh = (opts.scalar(0, nt.Int8Flags), opts.scalar(1, nt.Int32Flags),
                                   opts.scalar(2, nt.Int32Flags))
                act = opts.scalar(4, nt.Int8Flags)
                dw, dh = opts.scalar(5, nt.Int32Flags, 1), opts.scalar(6, nt.Int32Flags, 1)
                w = weight.transpose(3, 0, 1, 2)  # 1HWC -> C1HW
                group = self.tensors[ins[0]]["shape"][3]
                if w.shape[0] != group:
                    raise ConversionError("depthwise convolution with a depth multiplier other than 1")
            kh, kw = w.shape[2], w.shape[3]
            pads = self.spatial_pads(ins[0], kh, kw, sh, sw, dh, dw, padding == PADDING_SAME)
            src, pads = self.padded_input(self.name(ins[0]), pads)
            inputs = [src, self.add_init("w", w.astype(np.float32))]
            if bias is not None:
                inputs.append(self.add_init("b", bias.astype(np.float32)))
            res = self.with_activation(act, dst)
            self.emit("Conv", inputs, [res], kernel_shape=[int(kh), int(kw)], strides=[sh, sw], dilations=[dh, dw],
                      pads=pads, group=int(group))
            self.activation(act, res, dst)
            return

        if code == OP_ADD:
            act = opts.scalar(0, nt.Int8Flags) if opts else ACT_NONE
            operands = []
            for i in ins[:2]:
                c = self.const_of(i)
                if c is None:
                    operands.append(self.name(i))
                elif c.ndim == 1:
                    operands.append(self.add_init("c", c.astype(np.float32).reshape(-1, 1, 1)))
                elif c.ndim == 4:
                    operands.append(self.add_init("c", c.astype(np.float32).transpose(*NHWC_TO_NCHW)))
                else:
                    raise ConversionError(f"ADD with a constant of rank {c.ndim}")
            res = self.with_activation(act, dst)
            self.emit("Add", operands, [res])
            self.activation(act, res, dst)
            return

        if code == OP_PAD:
            amounts = self.const_of(ins[1])
            if amounts is None:
                raise ConversionError("PAD with computed amounts")
            amounts = amounts.reshape(-1, 2).astype(np.int64)
            if len(amounts) == 4:
                amounts = amounts[NHWC_TO_NCHW]
            pads = np.concatenate([amounts[:, 0], amounts[:, 1]])
            self.emit("Pad", [self.name(ins[0]), self.add_init("pads", pads)], [dst], mode="constant")
            return

        if code == OP_MAX_POOL_2D:
            padding, sw, sh = (opts.scalar(0, nt.Int8Flags), opts.scalar(1, nt.Int32Flags),
                               opts.scalar(2, nt.Int32Flags))
            fw, fh, act = opts.scalar(3, nt.Int32Flags), opts.scalar(4, nt.Int32Flags), opts.scalar(5, nt.Int8Flags)
            pads = self.spatial_pads(ins[0], fh, fw, sh, sw, 1, 1, padding == PADDING_SAME)
            if pads[0] != pads[2] or pads[1] != pads[3]:
                raise ConversionError("max pooling with asymmetric padding")
            res = self.with_activation(act, dst)
            self.emit("MaxPool", [self.name(ins[0])], [res], kernel_shape=[fh, fw], strides=[sh, sw], pads=pads)
            self.activation(act, res, dst)
            return

        if code == OP_RESIZE_BILINEAR:
            align_corners = opts.scalar(2, nt.BoolFlags, False) if opts else False
            half_pixel = opts.scalar(3, nt.BoolFlags, False) if opts else False
            n, _, _, c = self.tensors[ins[0]]["shape"]
            _, oh, ow, _ = self.tensors[outs[0]]["shape"]
            mode = "align_corners" if align_corners else "half_pixel" if half_pixel else "asymmetric"
            self.emit("Resize", [self.name(ins[0]), self.add_init("roi", np.zeros(0, np.float32)),
                                 self.add_init("scales", np.zeros(0, np.float32)),
                                 self.add_init("sizes", np.array([n, c, oh, ow], np.int64))], [dst],
                      mode="linear", coordinate_transformation_mode=mode)
            return

        if code == OP_RESHAPE:
            src = self.name(ins[0])
            if len(self.tensors[ins[0]]["shape"]) == 4:
                # The element order of a reshape is NHWC's, so bring the data back to that layout first.
                nhwc = self.fresh("nhwc")
                self.emit("Transpose", [src], [nhwc], perm=NCHW_TO_NHWC)
                src = nhwc
            shape = self.tensors[outs[0]]["shape"]
            if len(shape) == 4:
                flat = self.fresh("reshaped")
                self.emit("Reshape", [src, self.add_init("shape", np.array(shape, np.int64))], [flat])
                self.emit("Transpose", [flat], [dst], perm=NHWC_TO_NCHW)
            else:
                self.emit("Reshape", [src, self.add_init("shape", np.array(shape, np.int64))], [dst])
            return

        if code == OP_DEPTH_TO_SPACE:
            block = opts.scalar(0, nt.Int32Flags)
            _, h, w, c = self.tensors[ins[0]]["shape"]
            out_c = c // (block * block)
            # TFLite takes the output channel fastest within each block (input channel (i * block + j) * C + c):
            # ONNX's DCR order, written as reshape, transpose, reshape.
            split, moved = self.fresh("d2s_split"), self.fresh("d2s_moved")
            self.emit("Reshape", [self.name(ins[0]), self.add_init("shape", np.array([1, block, block, out_c, h, w],
                                                                                    np.int64))], [split])
            self.emit("Transpose", [split], [moved], perm=[0, 3, 4, 1, 5, 2])
            self.emit("Reshape", [moved, self.add_init("shape", np.array([1, out_c, h * block, w * block], np.int64))],
                      [dst])
            return

        if code == OP_CONCATENATION:
            axis, act = opts.scalar(0, nt.Int32Flags), opts.scalar(1, nt.Int8Flags)
            rank = len(self.tensors[outs[0]]["shape"])
            axis = axis % rank
            if rank == 4:
                axis = NHWC_TO_NCHW.index(axis)
            res = self.with_activation(act, dst)
            self.emit("Concat", [self.name(i) for i in ins], [res], axis=axis)
            self.activation(act, res, dst)
            return

        if code == OP_LOGISTIC:
            self.emit("Sigmoid", [self.name(ins[0])], [dst])
            return

        raise ConversionError(f"unsupported operator code {code}")


def prune(nodes, wanted):
    """Keep only the nodes whose results reach one of the wanted outputs."""
    needed, kept = set(wanted), []
    for node in reversed(nodes):
        if any(o in needed for o in node.output):
            kept.append(node)
            needed.update(node.input)
    return list(reversed(kept)), needed


def convert(data, output_names):
    tensors, buffers, inputs, outputs, ops = read_model(data)
    output_names = output_names or [tensors[i]["name"] for i in outputs]
    if len(inputs) != 1 or len(tensors[inputs[0]]["shape"]) != 4:
        raise ConversionError("expected one NHWC image input")
    conv = Converter(tensors, buffers)
    for op in ops:
        conv.convert_op(op)

    by_name = {tensors[i]["name"]: i for i in outputs}
    missing = [n for n in output_names if n not in by_name]
    if missing:
        raise ConversionError(f"outputs not in the model: {', '.join(missing)}")
    graph_outputs = []
    for name in output_names:
        index = by_name[name]
        shape = tensors[index]["shape"]
        src = conv.name(index)
        if len(shape) == 4:
            conv.emit("Transpose", [src], [name], perm=NCHW_TO_NHWC)
        else:
            conv.emit("Identity", [src], [name])
        graph_outputs.append(helper.make_tensor_value_info(name, TensorProto.FLOAT, shape))

    n, h, w, c = tensors[inputs[0]]["shape"]
    conv.emit("Identity", ["input"], [conv.name(inputs[0])])
    # The input's Identity is appended last but has to come first in the node order.
    conv.nodes.insert(0, conv.nodes.pop())
    nodes, needed = prune(conv.nodes, output_names)
    initializers = [i for i in conv.initializers if i.name in needed]
    graph = helper.make_graph(nodes, "pose_network",
                              [helper.make_tensor_value_info("input", TensorProto.FLOAT, [n, c, h, w])],
                              graph_outputs, initializers)
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", 11)], producer_name="pose-convert")
    model.ir_version = 6
    return model


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip().splitlines()[-4], file=sys.stderr)
        return 2
    try:
        with open(argv[1], "rb") as f:
            model = convert(f.read(), argv[3:])
    except (OSError, ConversionError) as e:
        print(f"pose-convert: {argv[1]}: {e}", file=sys.stderr)
        return 1
    tmp = argv[2] + ".part"
    onnx.save(model, tmp)
    import os
    os.replace(tmp, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
